#pragma once
#include "platform/dialog_service.h"

namespace app {

/// Shows message boxes as real modal windows.
class WidgetDialogService : public platform::DialogService {
public:
    void showMessage(Icon icon, const QString& title, const QString& text) override;
};

} // namespace app
