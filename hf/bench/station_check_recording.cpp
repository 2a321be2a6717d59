// Writes the station check's recording: frames of the modes the default channel plan receives,
// made by the independent generator of tests/data/hf (GMSK by this program's modulator), on and
// off the HF audio frequency, each 1 dB above its mode's target, in seeded white noise. Prints
// the frame bodies in the order they are sent, one per line. The first frame comes after
// enough noise for the station's start-up beacon, during which it hears nothing.
//
//   hf_station_check_recording --seed S --out FILE.wav [--rate HZ] [--carrier HZ]
//
// tools/station-check.py plays such recordings into the running program.
#include "hf/modem/tests/station_recording.h"
#include "hf/modem/wav_file.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

int main(int argc, char** argv)
{
    unsigned seed = 1;
    std::string out;
    double rate = 11025.0;
    double carrier = 2100.0;
    bool understood = argc % 2 == 1;
    for (int i = 1; understood && i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--seed")
            seed = static_cast<unsigned>(std::strtoul(argv[i + 1], nullptr, 10));
        else if (a == "--out")
            out = argv[i + 1];
        else if (a == "--rate")
            rate = std::atof(argv[i + 1]);
        else if (a == "--carrier")
            carrier = std::atof(argv[i + 1]);
        else
            understood = false;
    }
    if (!understood || out.empty() || !(rate >= 8000.0) || !(carrier > 0.0)) {
        std::fputs("usage: hf_station_check_recording --seed S --out FILE.wav [--rate HZ] [--carrier HZ]\n",
                   stderr);
        return 2;
    }
    try {
        const auto rec = modemtest::independentRecording(modemtest::stationCheckFrames(), rate, carrier, seed,
                                                         modemtest::kStationCheckLeadSeconds);
        hf::modem::WavAudio wav;
        wav.sampleRate = static_cast<int>(rate);
        wav.samples = rec.audio;
        if (!hf::modem::writeWavFile(out, wav)) {
            std::fprintf(stderr, "cannot write %s\n", out.c_str());
            return 1;
        }
        for (const std::string& body : rec.bodies)
            std::printf("%s\n", body.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
