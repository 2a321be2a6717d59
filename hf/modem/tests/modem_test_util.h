#pragma once

#include "hf/modem/demodulator.h"
#include "hf/modem/wav_file.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace modemtest {

/// CRC-16/MODBUS as four upper-case hex digits (the HF frame check).
inline std::string crcHex(const std::string& body)
{
    std::uint16_t crc = 0xFFFF;
    for (unsigned char c : body) {
        crc = static_cast<std::uint16_t>(crc ^ c);
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1u) != 0 ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001u)
                                  : static_cast<std::uint16_t>(crc >> 1);
    }
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04X", crc);
    return buf;
}

/// The HF frame as sent by a message send: dots, "~", body, check, TAB, "~   ", CR LF.
inline std::string frame(const std::string& body)
{
    return ".........." + std::string("~") + body + crcHex(body) + "\t~   \r\n";
}

/// Reads a seed range "FIRST-LAST" (or one seed "N") as the measuring tools take it.
inline bool parseSeeds(const char* text, unsigned& first, unsigned& last)
{
    char dash = 0;
    const int n = std::sscanf(text, "%u%c%u", &first, &dash, &last);
    if (n == 1)
        last = first;
    return (n == 1 || (n == 3 && dash == '-')) && first <= last;
}

inline std::string dataPath(const std::string& name)
{
    const char* base = std::getenv("SKYLARK_TEST_DATA");
    return std::string(base != nullptr ? base : "tests/data") + "/hf/" + name;
}

/// Mean square of the keyed part (samples above a small threshold).
inline double signalPower(const std::vector<float>& s)
{
    double sum = 0.0;
    std::size_t n = 0;
    for (float v : s)
        if (std::fabs(v) > 1e-4f) {
            sum += static_cast<double>(v) * v;
            ++n;
        }
    return n > 0 ? sum / static_cast<double>(n) : 0.0;
}

/// Adds seeded white noise so the SNR in 2500 Hz is `snrDb` for a signal of power `power`.
inline void addNoise(std::vector<float>& s, double power, double sampleRate, double snrDb, unsigned seed)
{
    const double noisePower = power / std::pow(10.0, snrDb / 10.0) * (sampleRate / 2.0) / 2500.0;
    std::mt19937 rng(seed);
    std::normal_distribution<double> g(0.0, std::sqrt(noisePower));
    for (auto& v : s)
        v = static_cast<float>(v + g(rng));
    // Keep it within what a sound card delivers (the receiver treats more than +-4 as broken).
    const double rms = std::sqrt(noisePower + power);
    if (rms > 0.25)
        for (auto& v : s)
            v = static_cast<float>(v * 0.25 / rms);
}

/// Pads with `lead` seconds of silence before and `tail` after.
inline std::vector<float> pad(const std::vector<float>& s, double sampleRate, double lead, double tail)
{
    std::vector<float> out(static_cast<std::size_t>(lead * sampleRate), 0.0f);
    out.insert(out.end(), s.begin(), s.end());
    out.resize(out.size() + static_cast<std::size_t>(tail * sampleRate), 0.0f);
    return out;
}

/// Edit distance between `text` and the best-matching stretch of `out` (characters printed
/// from the noise before and after the signal are not counted).
inline std::size_t editDistance(const std::string& out, const std::string& text)
{
    std::vector<std::size_t> prev(text.size() + 1);
    std::vector<std::size_t> cur(text.size() + 1);
    for (std::size_t j = 0; j <= text.size(); ++j)
        prev[j] = j;
    std::size_t best = prev[text.size()];
    for (std::size_t i = 1; i <= out.size(); ++i) {
        cur[0] = 0;
        for (std::size_t j = 1; j <= text.size(); ++j) {
            const std::size_t change = prev[j - 1] + (out[i - 1] != text[j - 1] ? 1 : 0);
            cur[j] = std::min(std::min(prev[j] + 1, cur[j - 1] + 1), change);
        }
        std::swap(prev, cur);
        best = std::min(best, prev[text.size()]);
    }
    return best;
}

inline std::string runDemodulator(hf::modem::Demodulator& d, const std::vector<float>& s, std::size_t chunk)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); i += chunk)
        d.process(s.data() + i, std::min(chunk, s.size() - i), out);
    return out;
}

} // namespace modemtest
