// The APRS-IS receive path with oracles: the server's byte stream through the line reader,
// the classification and the gate to HF. Checked: every acknowledgement line we would send
// back is one line of at most 256 bytes with no control byte, every receive-log record is
// one line, every packet gated onto HF carries a one-line body.
#include "hf/igate_rules.h"
#include "messaging/aprs_is_line_reader.h"
#include "messaging/received_message.h"
#include "tests/fuzz/receive_oracle.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const messaging::StationIdentity station{"M0SKY-1", "G4GRP", "G0REM", "Relay keying open",
                                                    "Relay keying close"};
    static const QByteArrayList heard{"G4HF", "M0ABC-5"};
    messaging::AprsIsLineReader reader;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    fuzzoracle::ReceiveLog receiveLog;
    for (const QByteArray& line : reader.feed(bytes + "\r\n")) {
        if (line.size() > messaging::AprsIsLineReader::kMaxLineLength)
            fuzzoracle::fail("line longer than the reader keeps", line);
        const messaging::ReceivedMessage m =
            messaging::classifyLine(messaging::Bearer::AprsIs, line, station, "12:00:00");
        if (m.sendAck) {
            fuzzoracle::checkLine(m.ackToSend + "\r\n", packet::kMaxGatedPacketLength,
                                  "acknowledgement line");
            fuzzoracle::checkTncText(m.ackToSend, "acknowledgement line");
        }
        if (m.receiveLog)
            receiveLog.logReceivedMessage(m.source, line);
        if (hf::gateToHf(line, heard, "M0HF"))
            if (const auto body = hf::gatedHfBody(line, "M0HF"); body && !packet::isOneLine(*body))
                fuzzoracle::fail("body gated onto HF", *body);
    }
    return 0;
}
