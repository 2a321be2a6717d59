// The whole VHF receive path with oracles: bytes from a text-mode TNC, a KISS TNC or an AGWPE
// server through the serial link's gathering, the deframers and the TNC line handler, with
// "HF digipeat" on. Checked: every line to APRS-IS and the local program is one line within
// its limit, every acknowledgement written to the TNC holds no control byte but its line end,
// every receive-log record is one line, no dialog is raised, the queues stay bounded.
// Input: first byte selects the bearer (0 text TNC, 1 KISS TNC, 2 AGWPE), the rest is the
// byte stream.
#include "links/serial_tnc_link.h"
#include "links/tnc_line_rules.h"
#include "messaging/received_message.h"
#include "packet/agwpe_deframer.h"
#include "packet/agwpe_monitor.h"
#include "records/log_record.h"
#include "station/heard_list.h"
#include "tests/fuzz/receive_oracle.h"

#include <QCoreApplication>

#include <cstddef>
#include <cstdint>

namespace {

struct VhfStation : fuzzoracle::CheckedStation {
    VhfStation() : CheckedStation("G4ABC-10")
    {
        state.myCall = "G4ABC";
        state.aprsIsCall = "G4ABC-10";
        state.choices.myCallField = "G4ABC";
        state.choices.hfDigipeat = true;
        state.choices.operatingMode = station::OperatingMode::AprsMessaging;
        links.tnc = &serial;
        QObject::connect(&serial.lineHandler(), &links::TncLineHandler::packetLine,
                         [this](const QByteArray& line) { classify(line); });
        QObject::connect(&serial.lineHandler(), &links::TncLineHandler::stationHeard,
                         [this](const QByteArray& call) { heard.add(call); });
    }

    /// What the TNC receive step does with a packet: the acknowledgement it would write to
    /// the TNC and the receive-log record.
    void classify(const QByteArray& line)
    {
        const messaging::ReceivedMessage m =
            messaging::classifyLine(messaging::Bearer::Tnc, line, {state.myCall, {}, {}, {}, {}}, "12:00:00");
        if (m.sendAck)
            fuzzoracle::checkTncText(m.ackToSend, "acknowledgement to the TNC");
        if (m.receiveLog) {
            receiveLog.logReceivedMessage(m.source, links::withoutLineEnd(line));
            local.sendReceiveRecord(
                records::networkRecord("2026-01-01 12:00:00", m.source, links::withoutLineEnd(line)));
        }
    }

    void receive(int bearer, const QByteArray& bytes)
    {
        serial.clearMessageHeading();
        state.kissSerial = bearer == 1;
        if (bearer == 2) {
            agwpe.reset();
            for (const packet::AgwpeFrame& frame : agwpe.feed(bytes))
                if (const auto line = packet::agwpeMonitorLine(frame))
                    serial.lineHandler().receiveLine(*line);
        } else {
            serial.gather(bytes);
            serial.onGatherTimer();
            serial.onGatherTimer(); // quiet now: a pending prompt is taken
        }
        if (serial.lineHandler().queuedLines() > links::TncLineHandler::kMaxQueuedLines)
            fuzzoracle::fail("line queue unbounded", bytes);
        while (serial.lineHandler().queuedLines() > 0)
            serial.lineHandler().onLineTimer();
        if (heard.size() > station::HeardList::kCapacity)
            fuzzoracle::fail("heard list unbounded", bytes);
    }

    links::SerialTncLink serial{state, waits, links, [](int) { return QString(); }};
    packet::AgwpeDeframer agwpe;
    station::HeardList heard;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static VhfStation station;
    if (size < 1)
        return 0;
    station.receive(data[0] % 3,
                    QByteArray(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1)));
    return 0;
}
