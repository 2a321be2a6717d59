#pragma once
#include <QList>
#include <QString>

namespace platform {

/// Every message box of the program goes through here, so that a test can record message
/// boxes instead of blocking on them.
class DialogService {
public:
    enum class Icon { None, Information, Exclamation, Critical };
    struct Message {
        Icon icon;
        QString title;
        QString text;
    };

    virtual ~DialogService() = default;
    /// Shows a message box with an OK button and returns when it is dismissed.
    virtual void showMessage(Icon icon, const QString& title, const QString& text) = 0;

    /// The service in use; a recording one until the application installs the real one.
    static DialogService& instance();
    /// Installs a service (not owned); nullptr restores the built-in recorder.
    static void install(DialogService* service);
};

/// Keeps every message instead of showing it.
class RecordingDialogService : public DialogService {
public:
    void showMessage(Icon icon, const QString& title, const QString& text) override
    {
        m_messages.append({icon, title, text});
    }
    const QList<Message>& messages() const { return m_messages; }
    void clear() { m_messages.clear(); }

private:
    QList<Message> m_messages;
};

} // namespace platform
