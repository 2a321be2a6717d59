#pragma once
#include "app/main_window.h"
#include "app/startup_page.h"

#include "platform/clock.h"
#include "platform/comm_port_map.h"
#include "platform/dialog_service.h"
#include "platform/url_opener.h"
#include "position/beacon_station.h"
#include "station/station_state.h"
#include "station/waits.h"

#include "tests/support/pty_pair.h"
#include "tests/support/scripted_tcp_peer.h"
#include "tests/support/temp_station_dir.h"
#include "tests/support/wait_until.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QRadioButton>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

/// What a TNC on a pseudo-terminal has received, gathered as it arrives.
struct TncWire {
    testsupport::PtyPair& tnc;
    QByteArray bytes;

    /// Adds what has arrived since.
    void drain() { bytes += tnc.readAvailable(); }
    /// Waits until what has arrived ends with `end` (equals it, with `whole`).
    bool waitFor(const QByteArray& end, bool whole = false)
    {
        return testsupport::waitUntil([&] {
            drain();
            return whole ? bytes == end : bytes.endsWith(end);
        });
    }
};

/// A station folder, recorded message boxes and opened URLs, and the windows on top.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::Clock::setTimeScale(0.01);
        platform::DialogService::install(&dialogs);
        platform::UrlOpener::install(&opener);
        state.stationDir = dir.path();
        // Service ports the system picks, peers nobody listens on: a station running on the
        // same machine is never met. A test playing a peer sets that port to its own server's.
        state.tcpPorts = {0,
                          0,
                          0,
                          testsupport::unusedTcpPort(),
                          testsupport::unusedTcpPort(),
                          testsupport::unusedTcpPort()};
    }
    void TearDown() override
    {
        main.reset();
        page.reset();
        platform::DialogService::install(nullptr);
        platform::UrlOpener::install(nullptr);
    }

    app::StartupPage& makePage(hf::radio::AudioDeviceLists audio = {})
    {
        page = std::make_unique<app::StartupPage>(state, ports, std::move(audio));
        page->load();
        return *page;
    }
    app::MainWindow& makeMain()
    {
        main = std::make_unique<app::MainWindow>(state, waits, ports, page.get());
        main->setSpaceWeatherUrl(spaceWeatherUrl); // never the public service from a test
        if (beforeLoad)
            beforeLoad(*main);
        main->load();
        if (!startupBeacon)
            main->beacons()
                .startupBeaconTimer()
                .stop(); // its beacon would clear what a test's TNC has just sent
        return *main;
    }
    /// A 9.6 kb text-mode TNC on a pseudo-terminal, as TNC port 2.
    void useTextTnc(const testsupport::PtyPair& tnc)
    {
        ports.set(2, tnc.programEnd());
        state.tncPort = 2;
        state.tncTypeCode = 2;
        state.noTnc = false;
    }
    /// Waits until the TNC has received exactly `expected` (what loading sends it, say).
    static bool tncReceived(testsupport::PtyPair& tnc, const QByteArray& expected)
    {
        return TncWire{tnc, {}}.waitFor(expected, true);
    }
    /// Runs a timer's tick now, as if its interval had passed.
    static void fire(QTimer& timer) { QMetaObject::invokeMethod(&timer, "timeout", Qt::DirectConnection); }
    template <typename T> T* in(QWidget& w, const char* name) { return w.findChild<T*>(QLatin1String(name)); }

    testsupport::TempStationDir dir;
    platform::RecordingDialogService dialogs;
    platform::RecordingUrlOpener opener;
    station::StationState state;
    station::Waits waits{state};
    platform::CommPortMap ports;
    std::unique_ptr<app::StartupPage> page;
    std::unique_ptr<app::MainWindow> main;
    bool startupBeacon = false;                       ///< let startupBeaconTimer send the start-up beacon
    std::function<void(app::MainWindow&)> beforeLoad; ///< points links at test peers, say
    QUrl spaceWeatherUrl{QStringLiteral("http://127.0.0.1:9/text/wwv.txt")};
};
