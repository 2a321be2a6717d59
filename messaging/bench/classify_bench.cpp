// Lines classified per second: a mix of APRS-IS server traffic for this station, acks,
// bulletins, group traffic and other stations' packets, split by the line reader first.
#include "messaging/aprs_is_line_reader.h"
#include "messaging/received_message.h"

#include <benchmark/benchmark.h>

namespace {

const QByteArray kStream = "# aprsc keepalive\r\n"
                           "G4ABC>APRS,TCPIP*,qAC,T2TEST::M0SKY-10 :hello there{12\r\n"
                           "G4ABC>APSK63,TCPIP*::M0SKY-10 :ack7\r\n"
                           "G4XYZ>APRS,TCPIP*,qAC,T2::BLN1     :Net tonight at 8\r\n"
                           "G4XYZ>APSK63,TCPIP*,qAC,T2::SKYGRP   :hello all{7\r\n"
                           "G4QQQ>APRS,WIDE2-1,qAR,G4IGT:!5130.00N/00010.00W-PHG2360\r\n";

const messaging::StationIdentity kStation{"M0SKY-10", "SKYGRP", "G4REM", "Relay keying open",
                                          "Relay keying close"};

} // namespace

static void BM_ClassifyAprsIsLines(benchmark::State& state)
{
    messaging::AprsIsLineReader reader;
    std::int64_t lines = 0;
    for (auto _ : state) {
        for (const QByteArray& line : reader.feed(kStream)) {
            auto m = messaging::classifyLine(messaging::Bearer::AprsIs, line, kStation, "12:00:00");
            benchmark::DoNotOptimize(m);
            ++lines;
        }
    }
    state.SetItemsProcessed(lines);
}
BENCHMARK(BM_ClassifyAprsIsLines);
