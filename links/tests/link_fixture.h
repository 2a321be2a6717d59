#pragma once
// Shared set-up for the link tests: station state, waits at 1/100 of the design time, recording
// stand-ins for the APRS-IS and local-port links.
#include "links/serial_tnc_link.h"
#include "platform/clock.h"
#include "platform/comm_port_map.h"
#include "platform/dialog_service.h"
#include "station/station_links.h"
#include "station/station_state.h"
#include "station/waits.h"
#include "tests/support/recording_links.h"

#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

class LinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::Clock::setTimeScale(0.01);
        platform::DialogService::install(&dialogs);
        links.aprsIs = &aprsIs;
        links.local = &local;
        state.myCall = "G4ABC";
        state.aprsIsCall = "G4ABC-10";
        state.choices.myCallField = "G4ABC";
        state.choices.operatingMode = station::OperatingMode::AprsMessaging;
    }
    void TearDown() override
    {
        serial.reset();
        platform::DialogService::install(nullptr);
    }

    /// The serial link on port 2, with its signals recorded.
    links::SerialTncLink& makeSerial()
    {
        serial = std::make_unique<links::SerialTncLink>(state, waits, links,
                                                        [this](int n) { return ports.presentDevice(n); });
        links.tnc = serial.get();
        record(serial->lineHandler());
        QObject::connect(serial.get(), &links::SerialTncLink::portStatus,
                         [this](const QString& c) { captions.append(c); });
        return *serial;
    }
    /// The lines sent with `prefix` ("is:", "local:"), the prefix taken off.
    QByteArrayList sentAs(const QByteArray& prefix) const { return testsupport::eventsOf(sent, prefix); }
    /// A timer of the serial link or its line handler, by objectName.
    QTimer& timer(const char* name)
    {
        auto* t = serial->findChild<QTimer*>(QLatin1String(name));
        EXPECT_NE(t, nullptr) << name;
        return *t;
    }
    void record(links::TncLineHandler& h)
    {
        QObject::connect(&h, &links::TncLineHandler::packetLine,
                         [this](const QByteArray& l) { packets.append(l); });
        QObject::connect(&h, &links::TncLineHandler::monitorText,
                         [this](const QByteArray& t) { monitor += t; });
        QObject::connect(&h, &links::TncLineHandler::stationHeard,
                         [this](const QByteArray& c) { heard.append(c); });
        QObject::connect(&h, &links::TncLineHandler::igatedLine,
                         [this](const QByteArray& l) { igated.append(l); });
    }

    platform::RecordingDialogService dialogs;
    station::StationState state;
    station::Waits waits{state};
    station::StationLinks links;
    platform::CommPortMap ports;
    QByteArrayList sent; ///< what went to APRS-IS ("is:") and the local ports ("local:", ...)
    testsupport::RecordingAprsIs aprsIs{sent};
    testsupport::RecordingLocal local{sent};
    std::unique_ptr<links::SerialTncLink> serial;

    QList<QByteArray> packets;
    QByteArray monitor;
    QList<QByteArray> heard;
    QList<QByteArray> igated;
    QStringList captions;
};
