#pragma once
#include <QList>
#include <QUrl>

namespace platform {

/// Opens a document or web page with the system's default handler (never through a shell).
class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    /// Returns false when nothing could open it; callers ignore failures.
    virtual bool open(const QUrl& url) = 0;

    /// The opener in use: the desktop's default handler unless a test installed another.
    static UrlOpener& instance();
    /// Installs an opener (not owned); nullptr restores the desktop one.
    static void install(UrlOpener* opener);
};

/// Records what would have been opened (tests).
class RecordingUrlOpener : public UrlOpener {
public:
    bool open(const QUrl& url) override
    {
        m_opened.append(url);
        return true;
    }
    const QList<QUrl>& opened() const { return m_opened; }

private:
    QList<QUrl> m_opened;
};

} // namespace platform
