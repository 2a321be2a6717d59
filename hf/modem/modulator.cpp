#include "hf/modem/modulator.h"

#include "hf/modem/dsp_types.h"
#include "hf/modem/mfsk_interleaver.h"
#include "hf/modem/varicode.h"
#include "hf/modem/viterbi.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace hf::modem {

namespace {

constexpr unsigned kQpskPoly0 = 0x17;
constexpr unsigned kQpskPoly1 = 0x19;
constexpr unsigned kMfskPoly0 = 0x6D;
constexpr unsigned kMfskPoly1 = 0x4F;

/// Raised-cosine key-down/key-up ramp of `length` samples at each end of `samples`.
void applyRamps(std::vector<float>& samples, std::size_t length)
{
    length = std::min(length, samples.size() / 2);
    for (std::size_t i = 0; i < length; ++i) {
        const double w = 0.5 - 0.5 * std::cos(std::numbers::pi * (static_cast<double>(i) + 0.5) /
                                              static_cast<double>(length));
        samples[i] = static_cast<float>(samples[i] * w);
        samples[samples.size() - 1 - i] = static_cast<float>(samples[samples.size() - 1 - i] * w);
    }
}

} // namespace

Modulator::Modulator(ModeConfig mode, double sampleRate, double carrier, double amplitude)
    : m_mode(mode), m_sampleRate(sampleRate), m_carrier(carrier), m_amplitude(amplitude)
{
    if (!(sampleRate >= 8000.0 && sampleRate <= 192000.0))
        throw std::invalid_argument("Modulator: sample rate out of range");
    if (!(carrier >= 200.0 && carrier <= 3500.0))
        throw std::invalid_argument("Modulator: carrier out of range");
    if (!(amplitude > 0.0 && amplitude <= 1.0))
        throw std::invalid_argument("Modulator: amplitude out of range");
    if (!(mode.baud > 1.0 && mode.baud <= 300.0))
        throw std::invalid_argument("Modulator: symbol rate out of range");
}

int Modulator::preambleSymbols() const
{
    // About one second: 64 symbols at 62.5 Bd, 128 at 125, 256 at 250.
    return static_cast<int>(std::lround(m_mode.baud * 1.024));
}

std::vector<float> Modulator::modulate(std::string_view text)
{
    std::vector<std::uint8_t> bits;
    const int pre = preambleSymbols();
    switch (m_mode.modulation) {
    case Modulation::Bpsk: {
        bits.assign(static_cast<std::size_t>(pre), 0);
        appendPskBits(text, bits);
        bits.insert(bits.end(), static_cast<std::size_t>(pre), 1);
        // A 0 bit reverses the phase (two quarter turns), a 1 keeps it.
        std::vector<int> turns;
        turns.reserve(bits.size());
        for (auto b : bits)
            turns.push_back(b != 0 ? 0 : 2);
        return renderPhaseSymbols(turns);
    }
    case Modulation::Qpsk: {
        bits.assign(static_cast<std::size_t>(pre), 0);
        appendPskBits(text, bits);
        bits.insert(bits.end(), static_cast<std::size_t>(pre), 0);
        ConvolutionalEncoder encoder(5, kQpskPoly0, kQpskPoly1);
        // Phase change per symbol in quarter turns (counter-clockwise positive):
        // s=0 -> 180, s=1 -> -90, s=2 -> 0, s=3 -> +90; reversed swaps +-90.
        const int upper[4] = {2, 3, 0, 1};
        const int lower[4] = {2, 1, 0, 3};
        std::vector<int> turns;
        turns.reserve(bits.size());
        for (auto b : bits) {
            const int s = encoder.encode(b);
            turns.push_back(m_mode.reversed ? lower[s] : upper[s]);
        }
        return renderPhaseSymbols(turns);
    }
    case Modulation::Mfsk: {
        std::vector<std::uint8_t> data(35, 0);
        appendMfskBits("\r\x02\r", data);
        appendMfskBits(text, data);
        appendMfskBits("\r\x04\r", data);
        data.push_back(1);
        data.insert(data.end(), 107, 0);

        ConvolutionalEncoder encoder(7, kMfskPoly0, kMfskPoly1);
        MfskInterleaver<int> interleaver(true);
        std::array<int, 4> group{};
        int fill = 0;
        std::vector<int> tones;
        auto pushCoded = [&](int bit, bool send) {
            group[static_cast<std::size_t>(fill++)] = bit;
            if (fill < 4)
                return;
            fill = 0;
            const auto out = interleaver.process(group);
            const int w = (out[0] << 3) | (out[1] << 2) | (out[2] << 1) | out[3];
            const int tone = w ^ (w >> 1) ^ (w >> 2) ^ (w >> 3);
            if (send)
                tones.push_back(tone);
        };
        // Prime the interleaver with 107 coded zero pairs that are not sent.
        for (int i = 0; i < 107 * 2; ++i)
            pushCoded(0, false);
        for (auto b : data) {
            const int s = encoder.encode(b);
            pushCoded(s & 1, true);        // the 0x6D output goes first
            pushCoded((s >> 1) & 1, true); // then the 0x4F output
        }
        return renderMfsk(tones);
    }
    case Modulation::Gmsk: {
        bits.assign(static_cast<std::size_t>(pre), 0);
        appendPskBits(text, bits);
        bits.insert(bits.end(), static_cast<std::size_t>(pre), 1);
        std::vector<int> asInt(bits.begin(), bits.end());
        return renderGmsk(asInt);
    }
    }
    return {};
}

std::vector<float> Modulator::renderPhaseSymbols(const std::vector<int>& quarterTurns) const
{
    // Complex envelope per symbol; the first symbol rises from silence, and one extra symbol
    // at the end falls back to silence, both with the raised-cosine weight.
    std::vector<Complex> symbols;
    symbols.reserve(quarterTurns.size() + 2);
    symbols.emplace_back(0.0f, 0.0f);
    int phase = 0;
    for (int t : quarterTurns) {
        phase = (phase + t) & 3;
        static constexpr Complex kPoints[4] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
        symbols.push_back(kPoints[phase]);
    }
    symbols.emplace_back(0.0f, 0.0f);

    const double samplesPerSymbol = m_sampleRate / m_mode.baud;
    const auto total =
        static_cast<std::size_t>(std::ceil(static_cast<double>(symbols.size() - 1) * samplesPerSymbol));
    std::vector<float> out(total);
    const double w = kTwoPi * m_carrier / m_sampleRate;
    for (std::size_t n = 0; n < total; ++n) {
        const double t = static_cast<double>(n) / samplesPerSymbol;
        auto i = static_cast<std::size_t>(t);
        const double frac = t - static_cast<double>(i);
        if (i + 1 >= symbols.size())
            i = symbols.size() - 2;
        const double a = 0.5 + 0.5 * std::cos(std::numbers::pi * frac);
        const std::complex<double> env =
            a * std::complex<double>(symbols[i]) + (1.0 - a) * std::complex<double>(symbols[i + 1]);
        const double phase = std::fmod(w * static_cast<double>(n), kTwoPi);
        out[n] =
            static_cast<float>(m_amplitude * (env.real() * std::cos(phase) - env.imag() * std::sin(phase)));
    }
    return out;
}

std::vector<float> Modulator::renderMfsk(const std::vector<int>& tones) const
{
    const double samplesPerSymbol = m_sampleRate / m_mode.baud;
    const auto total =
        static_cast<std::size_t>(std::ceil(static_cast<double>(tones.size()) * samplesPerSymbol));
    std::vector<float> out(total);
    double phase = 0.0;
    for (std::size_t n = 0; n < total; ++n) {
        auto i = static_cast<std::size_t>(static_cast<double>(n) / samplesPerSymbol);
        i = std::min(i, tones.size() - 1);
        const int k = m_mode.reversed ? 15 - tones[i] : tones[i];
        const double f = m_carrier - 7.5 * m_mode.baud + m_mode.baud * k;
        out[n] = static_cast<float>(m_amplitude * std::cos(phase));
        phase = std::fmod(phase + kTwoPi * f / m_sampleRate, kTwoPi);
    }
    applyRamps(out, static_cast<std::size_t>(m_sampleRate * 0.008));
    return out;
}

std::vector<float> Modulator::renderGmsk(const std::vector<int>& bits) const
{
    // NRZI: a 0 bit changes the frequency, a 1 keeps it. One symbol of the first frequency is
    // added at each end under the key-down/key-up ramps.
    std::vector<int> freq;
    freq.reserve(bits.size() + 2);
    int a = 1;
    freq.push_back(a);
    for (int b : bits) {
        if (b == 0)
            a = -a;
        freq.push_back(a);
    }
    freq.push_back(a);

    const double samplesPerSymbol = m_sampleRate / m_mode.baud;
    const double bt = 0.5;
    const double c = std::numbers::pi * bt * std::sqrt(2.0 / std::log(2.0));
    // Gaussian-filtered rectangular frequency pulse, in symbol times, truncated to +-2 symbols.
    auto pulse = [c](double tau) { return 0.5 * (std::erf(c * (tau + 0.5)) - std::erf(c * (tau - 0.5))); };
    const auto total =
        static_cast<std::size_t>(std::ceil(static_cast<double>(freq.size()) * samplesPerSymbol));
    std::vector<float> out(total);
    double phase = 0.0;
    const double deviation = m_mode.baud / 4.0;
    const auto count = static_cast<long>(freq.size());
    for (std::size_t n = 0; n < total; ++n) {
        const double t = static_cast<double>(n) / samplesPerSymbol;
        const auto centre = static_cast<long>(t);
        double sum = 0.0;
        for (long k = centre - 2; k <= centre + 2; ++k) {
            const long idx = std::clamp(k, 0L, count - 1);
            sum += freq[static_cast<std::size_t>(idx)] * pulse(t - (static_cast<double>(k) + 0.5));
        }
        const double f = m_carrier + deviation * sum;
        out[n] = static_cast<float>(m_amplitude * std::cos(phase));
        phase = std::fmod(phase + kTwoPi * f / m_sampleRate, kTwoPi);
    }
    applyRamps(out, static_cast<std::size_t>(samplesPerSymbol));
    return out;
}

std::vector<float> Modulator::tune(double seconds) const
{
    const auto total = static_cast<std::size_t>(std::max(0.0, seconds) * m_sampleRate);
    std::vector<float> out(total);
    const double w = kTwoPi * m_carrier / m_sampleRate;
    for (std::size_t n = 0; n < total; ++n)
        out[n] = static_cast<float>(m_amplitude * std::cos(std::fmod(w * static_cast<double>(n), kTwoPi)));
    applyRamps(out, static_cast<std::size_t>(m_sampleRate * 0.01));
    return out;
}

} // namespace hf::modem
