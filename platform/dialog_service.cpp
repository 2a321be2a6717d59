#include "platform/dialog_service.h"

namespace platform {

namespace {
RecordingDialogService& fallback()
{
    static RecordingDialogService service;
    return service;
}
DialogService* g_service = nullptr;
} // namespace

DialogService& DialogService::instance()
{
    return g_service ? *g_service : fallback();
}

void DialogService::install(DialogService* service)
{
    g_service = service;
}

} // namespace platform
