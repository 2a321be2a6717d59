// Arbitrary server bytes through the APRS-IS line reader and the classification, and the same
// bytes classified as a TNC line and an HF frame body.
#include "messaging/aprs_is_line_reader.h"
#include "messaging/display_text.h"
#include "messaging/received_message.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const messaging::StationIdentity station{"M0SKY-1", "SKYGRP", "G4REM", "Relay keying open",
                                             "Relay keying close"};
    messaging::AprsIsLineReader reader;
    QByteArray box;
    // Feed in two reads split in the middle, so partial lines are exercised.
    const qsizetype half = bytes.size() / 2;
    for (const QByteArrayView part : {bytes.first(half), bytes.sliced(half)}) {
        for (const QByteArray& line : reader.feed(part)) {
            if (line.size() > messaging::AprsIsLineReader::kMaxLineLength || line.contains('\n'))
                __builtin_trap();
            const auto m = messaging::classifyLine(messaging::Bearer::AprsIs, line, station, "00:00:00");
            messaging::appendDisplayText(box, m.messageHead);
            if (box.size() > messaging::kDisplayTextLimit)
                __builtin_trap();
        }
    }
    messaging::classifyLine(messaging::Bearer::Tnc, bytes, station, "");
    messaging::classifyLine(messaging::Bearer::Hf, bytes, station, "");
    return 0;
}
