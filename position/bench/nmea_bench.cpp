// GPS bytes read per second through the sentence reader and the RMC check.
#include "position/gps_input.h"

#include <benchmark/benchmark.h>

static void BM_GpsInputFeed(benchmark::State& state)
{
    const QByteArray stream = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n"
                              "$GPGSV,2,1,08,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45*75\r\n"
                              "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";
    position::GpsInput gps;
    for (auto _ : state)
        benchmark::DoNotOptimize(gps.feed(stream));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * stream.size());
}
BENCHMARK(BM_GpsInputFeed);
