#include "platform/url_opener.h"

#include <QDesktopServices>

namespace platform {

namespace {
class DesktopUrlOpener : public UrlOpener {
public:
    bool open(const QUrl& url) override { return QDesktopServices::openUrl(url); }
};

DesktopUrlOpener& desktop()
{
    static DesktopUrlOpener opener;
    return opener;
}
UrlOpener* g_opener = nullptr;
} // namespace

UrlOpener& UrlOpener::instance()
{
    return g_opener ? *g_opener : desktop();
}

void UrlOpener::install(UrlOpener* opener)
{
    g_opener = opener;
}

} // namespace platform
