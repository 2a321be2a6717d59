// The whole HF receive path with oracles: channel text from the modem through frame assembly
// and HF receive processing (heard log, messages, acknowledgements, gating, "HF digipeat" on).
// Checked: every line to APRS-IS and the local program is one line within its limit, every
// heard-log and receive-log record is one record, every frame we transmit in reply carries a
// one-line body, no dialog is raised, the queues stay bounded.
// Input: first byte even: the rest is bodies separated by 0xFF, each sent as a frame with a
// good check; odd: raw channel text as [channel byte][length byte][text]...
#include "hf/hf_frame.h"
#include "hf/hf_link.h"
#include "hf/scripted_modem.h"
#include "records/log_file.h"
#include "tests/fuzz/receive_oracle.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {

struct HfStation : fuzzoracle::CheckedStation {
    HfStation() : CheckedStation("MYIS")
    {
        state.stationDir = dir.path();
        state.hfCall = "MYCALL";
        state.aprsIsCall = "MYIS";
        state.choices.hfDigipeat = true;
        state.choices.transmitMode = station::TransmitMode::Psk63;
    }

    void receive(const std::uint8_t* data, std::size_t size)
    {
        if (size < 1)
            return;
        if (data[0] % 2 == 0) {
            QByteArray bodies(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
            int channel = 9;
            for (const QByteArray& body : bodies.split('\xFF'))
                modem.injectText(channel++ % 16 + 9, hf::buildFrame(body, hf::FrameSender::Message));
        } else {
            for (std::size_t i = 1; i + 2 <= size;) {
                const int channel = data[i] % 25;
                const std::size_t take = std::min<std::size_t>(data[i + 1], size - i - 2);
                modem.injectText(channel, QByteArray(reinterpret_cast<const char*>(data + i + 2),
                                                     static_cast<qsizetype>(take)));
                i += 2 + take;
            }
        }
        hf.assembleHfFrames();
        if (hf.pendingFrames() > hf::HfLink::kMaxPendingFrames)
            fuzzoracle::fail("frame queue unbounded", {});
        while (hf.pendingFrames() > 0)
            hf.processHfFrame();
        QCoreApplication::processEvents(); // queued replies go out
        for (const QByteArray& frame : modem.queued())
            if (!packet::isOneLine(hf::parseFrame(frame).body))
                fuzzoracle::fail("transmitted body", frame);
        modem.clearWrites();
        checkHeardLog();
    }

    void checkHeardLog()
    {
        QFile log(records::LogFile::mheardLog(dir.path()).path());
        if (!log.open(QIODevice::ReadOnly))
            return;
        const QByteArray all = log.readAll();
        log.close();
        log.remove();
        for (const QByteArray& record : all.split('\n')) {
            if (record.isEmpty())
                continue;
            if (!record.endsWith("\"\r") || !record.startsWith('"') || record.chopped(1).contains('\r'))
                fuzzoracle::fail("heard-log record", record);
        }
    }

    QTemporaryDir dir;
    hf::ScriptedModem modem;
    hf::HfLink hf{modem, state, waits, links};
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static HfStation station;
    station.receive(data, size);
    return 0;
}
