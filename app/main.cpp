// The Skylark station program.
#include "app/station_app.h"
#include "app/widget_dialog_service.h"

#include "platform/dialog_service.h"
#include "hf/radio/audio_end_choice.h"
#include "station/program_titles.h"

#include <QApplication>
#include <QPixmapCache>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr const char* Usage =
    "Usage: skylark [options]\n"
    "APRS messaging and igate station for VHF TNCs, HF sound-card modes and APRS-IS.\n"
    "\n"
    "Options:\n"
    "  --station-dir DIR          keep settings, logs and sheets in DIR (created if missing)\n"
    "  --space-weather-url URL    fetch the space-weather bulletin from URL\n"
    "  --audio-in END             where the HF modem hears: udp:PORT (16-bit mono little-endian\n"
    "                             samples at the modem's sample rate, on 127.0.0.1), wav:FILE\n"
    "                             (any WAV recording, played as if received), or null (silence);\n"
    "                             default: the sound device chosen on the start-up page\n"
    "  --audio-out END            where the HF modem transmits: wav:FILE (records every\n"
    "                             transmission) or null; default: the chosen sound device\n"
    "  --ports LIST               TCP ports as NAME=PORT,... with the names packets (8063),\n"
    "                             ptt (8500), receive-log (8064): this station's service\n"
    "                             ports on 127.0.0.1, 0 = any free port; kiss (4000), agwpe\n"
    "                             (8000): the sound-card TNC program; aprs-is (14580): the\n"
    "                             APRS-IS server. The environment variable SKYLARK_PORTS takes\n"
    "                             the same list; --ports overrides it name by name.\n"
    "  --version                  print the version and exit\n"
    "  --help                     print this help and exit\n";

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

/// Without a display, say so and run on Qt's offscreen platform instead of failing.
void chooseDisplay()
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return;
    std::fputs("skylark: no display found (DISPLAY and WAYLAND_DISPLAY are unset); "
               "starting on Qt's offscreen platform, the windows are not visible.\n",
               stderr);
    qputenv("QT_QPA_PLATFORM", "offscreen");
}

} // namespace

namespace {
/// Reads SKYLARK_PORTS and the command line into `options`. Returns the exit code when the
/// program ends here (help, version, or a wrong option), nothing when it starts.
std::optional<int> readCommandLine(int argc, char** argv, app::StationOptions& options)
{
    if (const QString env = qEnvironmentVariable("SKYLARK_PORTS"); !env.isEmpty()) {
        QString why;
        if (!station::applyTcpPortList(env, options.tcpPorts, &why)) {
            std::fprintf(stderr, "skylark: SKYLARK_PORTS: %s\n\n%s", qPrintable(why), Usage);
            return 2;
        }
    }
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (!std::strcmp(a, "--help") || !std::strcmp(a, "-h")) {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (!std::strcmp(a, "--version")) {
            std::puts(station::titles::kProgramTitle);
            return 0;
        }
        const bool hasValue = i + 1 < argc;
        if (!std::strcmp(a, "--station-dir") && hasValue) {
            options.stationDir = QString::fromLocal8Bit(argv[++i]);
        } else if (!std::strcmp(a, "--space-weather-url") && hasValue) {
            options.spaceWeatherUrl = QString::fromLocal8Bit(argv[++i]);
        } else if (!std::strcmp(a, "--ports") && hasValue) {
            QString why;
            if (!station::applyTcpPortList(QString::fromLocal8Bit(argv[++i]), options.tcpPorts, &why)) {
                std::fprintf(stderr, "skylark: --ports: %s\n\n%s", qPrintable(why), Usage);
                return 2;
            }
        } else if (!std::strcmp(a, "--connect") && hasValue) {
            QString why;
            if (!station::applyStartLinkList(QString::fromLocal8Bit(argv[++i]), options.startLinks, &why)) {
                std::fprintf(stderr, "skylark: --connect: %s\n\n%s", qPrintable(why), Usage);
                return 2;
            }
        } else if ((!std::strcmp(a, "--audio-in") || !std::strcmp(a, "--audio-out")) && hasValue) {
            const bool input = !std::strcmp(a, "--audio-in");
            const QString end = QString::fromLocal8Bit(argv[++i]);
            if (!hf::radio::parseAudioEnd(end, input)) {
                std::fprintf(stderr, "skylark: %s '%s' is not understood\n\n%s", a, argv[i], Usage);
                return 2;
            }
            (input ? options.audioIn : options.audioOut) = end;
        } else {
            std::fprintf(stderr, "skylark: unknown or incomplete option '%s'\n\n%s", a, Usage);
            return 2;
        }
    }
    return std::nullopt;
}

/// SIGTERM and SIGINT close the windows through their normal closing order.
void closeOnSignals(QApplication& application, app::StationApp& station)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &application);
    QObject::connect(notifier, &QSocketNotifier::activated, &station, [&station] {
        char byte;
        [[maybe_unused]] ssize_t n = ::read(g_signalPipe[0], &byte, 1);
        station.requestClose();
    });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}
} // namespace

int main(int argc, char** argv)
{
    app::StationOptions options;
    if (const std::optional<int> exitCode = readCommandLine(argc, argv, options))
        return *exitCode;

    chooseDisplay();
    QApplication application(argc, argv);
    Q_INIT_RESOURCE(skylark);
    QApplication::setApplicationName(QStringLiteral("Skylark"));
    QApplication::setApplicationVersion(QLatin1String(station::titles::kVersion));
    // The style keeps every button face it draws in the pixmap cache under a name made of its
    // size, state and the palette's serial number, which is new with every colour set. Qt 6.4
    // never forgets the name of a face it has pushed out of the cache (clear() keeps them too),
    // so a station whose buttons change colour all day grew by about 200 bytes a change, for
    // good. With no cache nothing is kept: the style draws each face directly, which is cheap.
    QPixmapCache::setCacheLimit(0);
    options.stationDir = app::resolveStationDir(options.stationDir, QCoreApplication::applicationDirPath());

    app::WidgetDialogService dialogs;
    platform::DialogService::install(&dialogs);

    app::StationApp station(options);
    closeOnSignals(application, station);

    station.start();
    const int rc = QApplication::exec();
    platform::DialogService::install(nullptr);
    return rc;
}
