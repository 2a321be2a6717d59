#include "hf/modem/channel_demodulator.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace hf::modem {

namespace {

constexpr double kCapture = 55.0; // Hz either side of the carrier the tracking may move
constexpr double kQualityScale = 2500.0;
constexpr float kIsi = 0.12f;
// BPSK decision-feedback reference: weight of the older symbols (0.7 measured best).
constexpr float kReferenceWeight = 0.7f;
// GMSK decisions: weight of the product of the two one-bit differentials against the two-bit
// differential, both relative to the signal level (measured best at 0.6 with the 13-sample
// receive filter and the decision-feedback reference).
constexpr float kGmskOneBit = 0.6f;
// GMSK decision-feedback reference: weight of the older symbols of the same rail (0.5 measured
// best; 0.5..0.6 gain about 1 dB over the plain two-bit differential).
constexpr float kGmskReferenceWeight = 0.5f;
// GMSK quality: the Gaussian filter keeps a clean signal's one- and two-bit phase turns short
// of 90 and 180 degrees, so its scatter measure reads about 0.58 where the other modes read 1;
// dividing by this puts a clean signal near full scale like them.
constexpr double kGmskCleanFit = 0.6;

// QPSK quality: the best path's gain per symbol on random phases (measured: 0.714), and the
// gain above it that reads full scale (a signal at the decoder's 2 % point gains about 0.16
// more and reads about two thirds of full scale, like the other modes at theirs).
constexpr double kQpskNoiseFit = 0.714;
constexpr double kQpskFitSpan = 0.24;

// MFSK16 quality: the chosen pairing's best-path gain per coded bit on noise (measured: 0.17),
// and the gain above it that reads full scale (set like QPSK's).
constexpr double kMfskNoiseFit = 0.17;
constexpr double kMfskFitSpan = 0.27;

float magnitude(Complex c)
{
    return std::sqrt(c.real() * c.real() + c.imag() * c.imag());
}

} // namespace

ChannelDemodulator::ChannelDemodulator(double workRate, double workCentre, ModeConfig mode, double carrier)
    : m_workRate(workRate), m_workCentre(workCentre), m_mode(mode), m_carrier(carrier)
{
    if (!(workRate >= 1000.0 && workRate <= 20000.0))
        throw std::invalid_argument("ChannelDemodulator: working rate out of range");
    if (!(carrier > 0.0 && carrier < 4000.0))
        throw std::invalid_argument("ChannelDemodulator: carrier out of range");
    configure();
}

void ChannelDemodulator::setMode(const ModeConfig& mode)
{
    if (mode == m_mode)
        return;
    m_mode = mode;
    configure();
}

void ChannelDemodulator::setCarrier(double hz)
{
    if (!(hz > 0.0 && hz < 4000.0) || hz == m_carrier)
        return;
    m_carrier = hz;
    m_afc = 0.0;
    updateMixer();
}

void ChannelDemodulator::reset()
{
    configure();
}

int ChannelDemodulator::quality() const
{
    return static_cast<int>(std::lround(std::clamp(m_qualityAvg, 0.0, 1.0) * kQualityScale));
}

void ChannelDemodulator::configure()
{
    const bool mfsk = m_mode.modulation == Modulation::Mfsk;
    if (mfsk) {
        m_outRate = m_mode.baud * kMfskN;
        m_resampler = std::make_unique<Resampler>(m_workRate, m_outRate, 200.0,
                                                  static_cast<int>(5.5 * m_workRate / 60.0));
        m_matched.reset();
        m_qpskViterbi.reset();
        m_qpskFitViterbi.reset();
        for (auto& v : m_mfskViterbi)
            v = std::make_unique<ViterbiDecoder>(7, 0x6D, 0x4F, kMfskViterbiDepth);
        for (int b = 0; b < kMfskBins; ++b)
            m_binStep[static_cast<std::size_t>(b)] = std::polar(1.0, kTwoPi * (kMfskLow + b) / kMfskN);
        // About 2 s of averaging at 15.625 Bd.
        m_qualityAlpha = 1.0 / 32.0;
    } else {
        m_outRate = m_mode.baud * kSps;
        const double cutoff = m_mode.baud + 60.0;
        const double transition = std::max(60.0, 0.6 * cutoff);
        m_resampler = std::make_unique<Resampler>(m_workRate, m_outRate, cutoff,
                                                  static_cast<int>(5.5 * m_workRate / transition));
        std::size_t pulse = 2 * kSps;
        if (m_mode.modulation == Modulation::Qpsk)
            pulse = 12;
        else if (m_mode.modulation == Modulation::Gmsk)
            pulse = 13;
        m_matched = std::make_unique<ComplexFir>(hannPulse(pulse));
        if (m_mode.modulation == Modulation::Qpsk) {
            m_qpskViterbi = std::make_unique<ViterbiDecoder>(5, 0x17, 0x19, 32);
            m_qpskFitViterbi = std::make_unique<ViterbiDecoder>(5, 0x17, 0x19, 1);
        } else {
            m_qpskViterbi.reset();
            m_qpskFitViterbi.reset();
        }
        for (auto& v : m_mfskViterbi)
            v.reset();
        // About 96 symbols of averaging at 62.5 and 125 Bd (1.5 s, 0.8 s), 160 at 250 Bd (0.64 s).
        m_qualityAlpha = m_mode.baud > 200.0 ? 1.0 / 160.0 : 1.0 / 96.0;
    }
    // GMSK's quality scatters more on noise (two differentials, scaled to full scale): the
    // squelch averages it over 160 symbols at both rates, which keeps 20 minutes of noise under
    // a squelch of 500. The tracking keeps the shorter average.
    m_squelchAlpha =
        m_mode.modulation == Modulation::Gmsk ? std::min(m_qualityAlpha, 1.0 / 160.0) : m_qualityAlpha;
    m_afc = 0.0;
    m_qualityAvg = 0.0;
    m_lockAvg = 0.0;
    m_wideAvg = 0.0;
    m_open = false;
    m_held.clear();
    m_release.clear();
    m_symbols = 0;
    m_openedAt = 0;
    m_qualityDelay.clear();
    m_toneFitDelay.clear();
    m_mfskRecent.clear();
    m_mfskFit = 0.0;
    m_lastTones = {-1, -1};
    m_z.fill({});
    m_phaseEnergy.fill(0.0);
    m_count = 0;
    m_nextDecision = mfsk ? kMfskN : kSps * 3;
    m_prevWide = {};
    m_wideAcc = {};
    m_magAvg = 1e-6;
    m_fastMag = 0.0;
    m_reference = {};
    m_gmskReference = {};
    m_pskVaricode.reset();
    m_window.fill({});
    m_bins.fill({});
    m_offsetEnergy.fill(0.0);
    m_binHistory.fill(0.0);
    m_historyAge = 0;
    m_sinceRefresh = 0;
    restartMfskDecoding();
    m_mixer.reset();
    updateMixer();
}

void ChannelDemodulator::updateMixer()
{
    double centre = m_carrier + m_afc;
    if (m_mode.modulation == Modulation::Mfsk)
        centre -= m_mode.baud / 2.0; // put the 16 tones on whole DFT bins -7..8
    m_mixer.setFrequency((centre - m_workCentre) / m_workRate);
}

void ChannelDemodulator::process(const Complex* samples, std::size_t count, std::string& out)
{
    const bool mfsk = m_mode.modulation == Modulation::Mfsk;
    for (std::size_t i = 0; i < count; ++i) {
        const std::complex<double> lo = m_mixer.next();
        const Complex v = samples[i] * Complex(static_cast<float>(lo.real()), static_cast<float>(-lo.imag()));
        m_scratch.clear();
        m_resampler->process(v, m_scratch);
        for (const Complex& u : m_scratch) {
            if (mfsk)
                mfskSample(u, out);
            else
                phaseSample(u, out);
        }
    }
    if (!m_release.empty()) {
        out += m_release;
        m_release.clear();
    }
}

void ChannelDemodulator::updateSquelch(double q)
{
    m_qualityAvg += m_squelchAlpha * (q - m_qualityAvg);
    ++m_symbols;
    const int level = quality();
    if (!m_open && level >= m_squelch) {
        m_open = true;
        m_openedAt = m_symbols;
        // The quality average lags the signal: release what was decoded over the last 1.5 s (2.5 s
        // for MFSK16) while the quality was rising (the preamble carries no characters, so this is
        // the start of the text, not noise from before the signal).
        const long long window = std::max(40LL, static_cast<long long>(1.5 * m_mode.baud));
        for (const auto& [c, symbol] : m_held)
            if (symbol >= m_symbols - window)
                m_release.push_back(c);
        m_held.clear();
    } else if (m_open && m_squelch > 0 && level * 4 < m_squelch * 3)
        m_open = false;
}

void ChannelDemodulator::emit(char c, std::string& out)
{
    if (!m_release.empty()) {
        out += m_release;
        m_release.clear();
    }
    if (m_open) {
        out.push_back(c);
        return;
    }
    // Hold only what came while the quality was already rising towards the squelch: the
    // first symbols of a key-down (or of noise) are not worth keeping. GMSK's quality averages
    // over 160 symbols and lags by more than the short text before a frame's start flag: it
    // holds from the moment its tracking has locked. MFSK16 text starts right after a
    // steady-tone preamble that does not raise the quality.
    const bool gmskLocked = m_mode.modulation == Modulation::Gmsk && m_lockAvg >= 0.1;
    if (m_mode.modulation != Modulation::Mfsk && quality() * 3 < m_squelch && !gmskLocked)
        return;
    if (m_held.size() >= kMaxHeld)
        m_held.pop_front();
    m_held.emplace_back(c, m_symbols);
}

// ---- BPSK, QPSK, GMSK ---------------------------------------------------------------------

void ChannelDemodulator::phaseSample(Complex u, std::string& out)
{
    // Wide discriminator for acquisition: mean frequency within the channel filter.
    m_wideAcc += (u * std::conj(m_prevWide) - m_wideAcc) * (1.0f / 64.0f);
    m_prevWide = u;

    const Complex z = m_matched->process(u);
    m_z[static_cast<std::size_t>(m_count % kRing)] = z;
    // Timing energy per sample phase.
    if (m_count >= kSps) {
        const Complex d = z * std::conj(m_z[static_cast<std::size_t>((m_count - kSps) % kRing)]);
        const double e = m_mode.modulation == Modulation::Gmsk ? std::fabs(d.imag()) : magnitude(d);
        double& slot = m_phaseEnergy[static_cast<std::size_t>(m_count % kSps)];
        slot += (e - slot) / 16.0;
    }
    ++m_count;
    // Decide one sample after the decision instant so the late sample is available.
    if (m_count - 1 == m_nextDecision + 1)
        phaseSymbol(out);
}

void ChannelDemodulator::phaseSymbol(std::string& out)
{
    const long long k = m_nextDecision;
    auto at = [this](long long index) { return m_z[static_cast<std::size_t>(index % kRing)]; };
    const bool gmsk = m_mode.modulation == Modulation::Gmsk;
    auto timingMetric = [&](long long index) {
        const Complex d = at(index) * std::conj(at(index - kSps));
        return gmsk ? std::fabs(d.imag()) : magnitude(d);
    };

    // BPSK: the matched filter of the two-symbol raised-cosine pulse leaves 1/6 of each
    // neighbour in a symbol; a three-tap equaliser removes most of it (0.12 measured best, as it
    // also weighs the noise it adds), at one symbol of delay. QPSK does better with a shorter
    // filter and no equaliser.
    const bool equalise = m_mode.modulation == Modulation::Bpsk;
    auto eq = [&](long long i) { return at(i) - kIsi * (at(i - kSps) + at(i + kSps)); };
    const Complex d1 =
        equalise ? eq(k - kSps) * std::conj(eq(k - 2 * kSps)) : at(k) * std::conj(at(k - kSps));
    const double mag = magnitude(d1);
    m_magAvg += 0.05 * (mag - m_magAvg);
    // Key-up: when the level falls to a fraction of what it was, close at once instead of
    // waiting for the quality average, so the decay prints no junk.
    m_fastMag += 0.3 * (mag - m_fastMag);
    if (m_open && m_squelch > 0 && m_fastMag < 0.15 * m_magAvg) {
        m_open = false;
        m_qualityAvg = 0.0;
        m_lockAvg = 0.0;
    }

    // Carrier tracking and quality from the phase scatter of the differential decisions.
    double error = 0.0; // rad per symbol
    double q = 0.0;     // for the squelch
    double lock = 0.0;  // for the tracking loops (GMSK: the two-bit measure alone)
    if (mag > 0.0) {
        const Complex n = d1 / static_cast<float>(mag);
        switch (m_mode.modulation) {
        case Modulation::Bpsk: {
            const Complex sq = n * n;
            error = std::arg(sq) / 2.0;
            q = sq.real();
            break;
        }
        case Modulation::Qpsk: {
            const Complex p4 = (n * n) * (n * n);
            error = std::arg(p4) / 4.0;
            lock = p4.real();
            q = qpskCodeFit(n);
            break;
        }
        case Modulation::Gmsk: {
            // Over two bits the phase turns by 0 (a 0 bit) or +-180 degrees (a 1 bit, less
            // the Gaussian smoothing, whose sign follows the data). Only the 0 bits measure
            // the frequency without bias; both kinds measure the quality.
            // Over one bit it turns by about +-90 degrees, which tells GMSK from a steady
            // carrier or a PSK signal (0 or 180 degrees): the quality needs both.
            const Complex d2 = at(k) * std::conj(at(k - 2 * kSps));
            const float m2 = magnitude(d2);
            if (m2 > 0.0f) {
                const Complex n2 = d2 / m2;
                lock = (n2 * n2).real();
                q = 0.5 * (lock - (n * n).real()) / kGmskCleanFit;
                if (n2.real() > 0.0f)
                    error = std::arg(n2) / 2.0;
            }
            break;
        }
        case Modulation::Mfsk:
            break;
        }
    }
    if (m_mode.modulation == Modulation::Bpsk)
        lock = q;
    // BPSK follows its lock faster: its decisions wait for it (see below).
    const double lockSpeed = m_mode.modulation == Modulation::Bpsk ? 3.0 : 1.0;
    m_lockAvg += lockSpeed * m_qualityAlpha * (lock - m_lockAvg);
    updateSquelch(q);
    if (m_mode.modulation == Modulation::Bpsk)
        checkHalfRateLock();

    // Frequency: acquisition from the wide discriminator while idle; fine tracking from the
    // decisions once there is a signal.
    if (m_lockAvg < 0.15) {
        const double wide = std::arg(m_wideAcc) * m_outRate / kTwoPi;
        if (std::abs(m_wideAcc) > 0.0f)
            m_afc += 0.04 * std::clamp(wide, -m_mode.baud, m_mode.baud);
    }
    if (m_lockAvg > 0.15)
        m_afc += (m_open ? 0.015 : 0.12) * error * m_mode.baud / kTwoPi;
    m_afc = std::clamp(m_afc, -kCapture, kCapture);
    updateMixer();

    // Timing: jump to the strongest sample phase while idle, then early/late tracking.
    const int current = static_cast<int>(k % kSps);
    if (m_lockAvg < 0.1) {
        int best = current;
        for (int p = 0; p < kSps; ++p)
            if (m_phaseEnergy[static_cast<std::size_t>(p)] > m_phaseEnergy[static_cast<std::size_t>(best)])
                best = p;
        if (best != current && m_phaseEnergy[static_cast<std::size_t>(best)] >
                                   1.2 * m_phaseEnergy[static_cast<std::size_t>(current)]) {
            int delta = best - current;
            if (delta > kSps / 2)
                delta -= kSps;
            if (delta < -kSps / 2)
                delta += kSps;
            m_nextDecision = k + kSps + delta;
            return; // this symbol was taken at the wrong instant: drop it
        }
    }
    const double late = timingMetric(k + 1);
    const double early = timingMetric(k - 1);
    if (late + early > 0.0) {
        const double e = (late - early) / (late + early);
        const double gain = m_open ? 0.03 : 0.2;
        m_resampler->shift(gain * e * m_workRate / m_outRate);
    }
    m_nextDecision = k + kSps;

    // Decisions. Until the tracking has locked (the preamble is there for that) every BPSK bit
    // is taken as idle: what comes before is noise or a key-down transient, which the
    // decision-feedback reference would otherwise turn into a stray character.
    const bool locked = m_lockAvg >= 0.1;
    switch (m_mode.modulation) {
    case Modulation::Bpsk: {
        // Decision-feedback differential detection: the reference is the previous symbol
        // averaged with the ones before it, turned by the decisions made, which has less noise
        // than the previous symbol alone.
        const Complex current = eq(k - kSps);
        const int bit = (current * std::conj(m_reference)).real() > 0.0f ? 1 : 0;
        m_reference = current + (bit != 0 ? kReferenceWeight : -kReferenceWeight) * m_reference;
        if (auto c = m_pskVaricode.push(locked ? bit : 0))
            emit(*c, out);
        break;
    }
    case Modulation::Gmsk: {
        // Two-bit differential detection: a kept frequency turns the phase by +-180 degrees
        // over two bits (a 1 bit), a change leaves it (a 0 bit). Symbols two bits apart lie on
        // the same rail (MSK is two interleaved BPSK streams), so, as for BPSK, the reference is
        // the symbol two bits back averaged with the older ones of its rail, turned by the
        // decisions made: less noise than the one symbol alone.
        Complex& reference = m_gmskReference[static_cast<std::size_t>((k / kSps) & 1)];
        const Complex d2 = at(k) * std::conj(reference * (1.0f - kGmskReferenceWeight));
        // Also the two one-bit differentials: each turns by +-90 degrees with the frequency;
        // the same sign twice is a kept frequency.
        const Complex older = at(k - kSps) * std::conj(at(k - 2 * kSps));
        const float scale = static_cast<float>(std::max(m_magAvg, 1e-12));
        const float soft = -d2.real() + kGmskOneBit * d1.imag() * older.imag() / scale;
        reference = at(k) + (soft > 0.0f ? -kGmskReferenceWeight : kGmskReferenceWeight) * reference;
        if (auto c = m_pskVaricode.push(soft > 0.0f ? 1 : 0))
            emit(*c, out);
        break;
    }
    case Modulation::Qpsk: {
        const int bit = m_qpskViterbi->push(qpskScores(d1 / static_cast<float>(std::max(m_magAvg, 1e-9))));
        if (bit >= 0)
            if (auto c = m_pskVaricode.push(bit))
                emit(*c, out);
        break;
    }
    case Modulation::Mfsk:
        break;
    }
}

std::array<float, 4> ChannelDemodulator::qpskScores(Complex r) const
{
    // Scores of the encoder outputs: s=0 -> 180, s=1 -> -90, s=2 -> 0, s=3 -> +90 degrees
    // (reversed sideband: +-90 swapped).
    const float plus = r.imag();
    const float minus = -r.imag();
    return {-r.real(), m_mode.reversed ? plus : minus, r.real(), m_mode.reversed ? minus : plus};
}

double ChannelDemodulator::qpskCodeFit(Complex n)
{
    // How well the phase turns fit the code, as the decoder sees them: the best path's gain per
    // symbol when every turn counts the same (the decoder's own scores weigh the symbols by
    // their level, which on noise scatters far more). A clean signal gains 1 per symbol; random
    // phases let the best path gain kQpskNoiseFit, so the measure starts from there.
    m_qpskFitViterbi->push(qpskScores(n));
    return (m_qpskFitViterbi->lastGain() - kQpskNoiseFit) / kQpskFitSpan;
}

void ChannelDemodulator::checkHalfRateLock()
{
    // Tracking half the symbol rate off the carrier turns the phase by an extra 180 degrees per
    // symbol: the differential decisions fit the phase as well as on the carrier but all come
    // out inverted. The mean frequency of what the channel filter passes still points at the
    // signal's centre (its spectrum is symmetric), so when it keeps saying the signal lies more
    // than a quarter of the symbol rate away, move the tracking there by half the symbol rate.
    if (m_lockAvg < 0.15) {
        m_wideAvg = 0.0;
        return;
    }
    const double wide = std::abs(m_wideAcc) > 0.0f ? std::arg(m_wideAcc) * m_outRate / kTwoPi : 0.0;
    m_wideAvg += (wide - m_wideAvg) / 24.0;
    if (std::fabs(m_wideAvg) < m_mode.baud / 4.0)
        return;
    m_afc = std::clamp(m_afc + std::copysign(m_mode.baud / 2.0, m_wideAvg), -kCapture, kCapture);
    m_wideAvg = 0.0;
    updateMixer();
}

// ---- MFSK16 ---------------------------------------------------------------------------------

void ChannelDemodulator::mfskSample(Complex u, std::string& out)
{
    const auto slot = static_cast<std::size_t>(m_count % kMfskN);
    const std::complex<double> oldest(m_window[slot]);
    m_window[slot] = u;
    const std::complex<double> x(u);
    if (++m_sinceRefresh >= 4096) {
        // Recompute exactly now and then so rounding in the sliding update cannot build up.
        m_sinceRefresh = 0;
        for (int b = 0; b < kMfskBins; ++b) {
            std::complex<double> acc;
            for (int m = 0; m < kMfskN; ++m) {
                const auto idx = static_cast<std::size_t>((m_count + 1 + m) % kMfskN);
                acc += std::complex<double>(m_window[idx]) *
                       std::polar(1.0, -kTwoPi * (kMfskLow + b) * m / kMfskN);
            }
            // The sliding form carries an extra phase; only magnitudes are used.
            m_bins[static_cast<std::size_t>(b)] = acc;
        }
    } else {
        for (int b = 0; b < kMfskBins; ++b) {
            auto& bin = m_bins[static_cast<std::size_t>(b)];
            bin = (bin + x - oldest) * m_binStep[static_cast<std::size_t>(b)];
        }
    }
    double best = 0.0;
    for (int b = 4; b < 20; ++b)
        best = std::max(best, std::norm(m_bins[static_cast<std::size_t>(b)]));
    double& energy = m_offsetEnergy[static_cast<std::size_t>(m_count % kMfskN)];
    energy += (best - energy) / 8.0;
    ++m_count;
    if (m_count - 1 == m_nextDecision)
        mfskSymbol(out);
}

void ChannelDemodulator::mfskSymbol(std::string& out)
{
    const long long k = m_nextDecision;
    std::array<double, kMfskBins> e{};
    for (int b = 0; b < kMfskBins; ++b)
        e[static_cast<std::size_t>(b)] = std::norm(m_bins[static_cast<std::size_t>(b)]);
    // Tone set: bins 4..19 (offsets -7..8).
    int maxBin = 4;
    double total = 0.0;
    for (int b = 4; b < 20; ++b) {
        total += e[static_cast<std::size_t>(b)];
        if (e[static_cast<std::size_t>(b)] > e[static_cast<std::size_t>(maxBin)])
            maxBin = b;
    }
    const double emax = e[static_cast<std::size_t>(maxBin)];
    const double noise = std::max((total - emax) / 15.0, 1e-12);
    const double ratio = emax / noise;
    // MFSK hops: the strongest tone seldom repeats within two symbols (about 1 in 8), while a
    // carrier or a PSK signal stays in the same one or two bins. Such symbols count as noise.
    const bool repeated = maxBin == m_lastTones[0] || maxBin == m_lastTones[1];
    m_lastTones[1] = m_lastTones[0];
    m_lastTones[0] = maxBin;
    // How well the tones fit MFSK, for the tracking: as they come for the fine tracking, and
    // as the characters now decoded had them (they come out of the interleaver and the decoder
    // about 40 symbols after their tones) for the whole-bin moves and the timing.
    const double fit = repeated ? 0.0 : std::clamp((ratio - 3.4) / (ratio + 1.0), -1.0, 1.0);
    m_mfskFit += (fit - m_mfskFit) / 16.0;
    m_toneFitDelay.push_back(fit);
    if (m_toneFitDelay.size() > kMfskDecodeDelay) {
        m_lockAvg += m_qualityAlpha * (m_toneFitDelay.front() - m_lockAvg);
        m_toneFitDelay.pop_front();
    }

    // Frequency: whole-bin acquisition from the long-term bin energies while idle; fine
    // tracking from two half-bin probes around the strongest tone while receiving.
    constexpr double kHistoryWeight = 1.0 / 48.0;
    for (int b = 0; b < kMfskBins; ++b) {
        auto& h = m_binHistory[static_cast<std::size_t>(b)];
        h += (e[static_cast<std::size_t>(b)] / noise - h) * kHistoryWeight;
    }
    ++m_historyAge;
    if (m_historyAge > 24) {
        auto sumAt = [this](int shift) {
            double s = 0.0;
            for (int b = 4 + shift; b < 20 + shift; ++b)
                s += m_binHistory[static_cast<std::size_t>(b)];
            return s;
        };
        // A shift must do clearly better than every nearer one (by 3 %, or the gained bins are
        // plainly signal: a strong signal one bin off, whose edge tone can be rare). Only shifts
        // the tracking may take count: a best shift out of reach must not block a nearer one
        // (while only the steady preamble tone is there, every shift that covers it sums about
        // the same).
        auto better = [&](int s, int than) {
            return sumAt(s) > 1.03 * sumAt(than) || sumAt(s) - sumAt(than) > 8.0;
        };
        int bestShift = 0;
        for (int s : {-1, 1, -2, 2, -3, 3, -4, 4})
            if (std::fabs(m_afc + s * m_mode.baud) <= kCapture && better(s, bestShift))
                bestShift = s;
        // The gained bins must hold clearly more than noise (each noise bin averages 1 here,
        // once the history has filled), a channel that decodes well needs stronger evidence
        // before it moves, and the tone set must move onto a signal: on noise alone the
        // sums differ by chance, and moving on them left the tone set at the edge of the
        // capture range, too far from where the next signal came.
        const double needed = m_lockAvg < 0.2 ? 0.5 : 0.8;
        const double gain = sumAt(bestShift) - sumAt(0);
        const double noiseSum = 16.0 * (1.0 - std::pow(1.0 - kHistoryWeight, m_historyAge));
        if (bestShift != 0 && gain > needed && sumAt(bestShift) > 1.25 * noiseSum) {
            m_afc += bestShift * m_mode.baud;
            m_binHistory.fill(0.0);
            m_historyAge = 0;
            updateMixer();
            mfskRedecode(bestShift, out);
        }
    }
    if (m_mfskFit > 0.15) {
        const double f = kMfskLow + maxBin;
        std::complex<double> lo;
        std::complex<double> hi;
        for (int m = 0; m < kMfskN; ++m) {
            const auto idx = static_cast<std::size_t>((k + 1 + m) % kMfskN);
            const std::complex<double> s(m_window[idx]);
            lo += s * std::polar(1.0, -kTwoPi * (f - 0.5) * m / kMfskN);
            hi += s * std::polar(1.0, -kTwoPi * (f + 0.5) * m / kMfskN);
        }
        const double a = std::abs(lo);
        const double c = std::abs(hi);
        if (a + c > 0.0) {
            const double delta = 0.5 * (c - a) / (a + c); // bins
            m_afc = std::clamp(m_afc + 0.1 * delta * m_mode.baud, -kCapture, kCapture);
            updateMixer();
        }
    }

    // Timing: strongest window offset while idle, one-sample steps while receiving.
    const int current = static_cast<int>(k % kMfskN);
    auto energyAt = [this](int p) { return m_offsetEnergy[static_cast<std::size_t>((p + kMfskN) % kMfskN)]; };
    long long next = k + kMfskN;
    if (m_lockAvg < 0.2) {
        int best = current;
        for (int p = 0; p < kMfskN; ++p)
            if (energyAt(p) > energyAt(best))
                best = p;
        if (best != current && energyAt(best) > 1.2 * energyAt(current)) {
            int delta = best - current;
            if (delta > kMfskN / 2)
                delta -= kMfskN;
            if (delta < -kMfskN / 2)
                delta += kMfskN;
            next = k + kMfskN + delta;
        }
    } else {
        const double late = energyAt(current + 1);
        const double early = energyAt(current - 1);
        if (late > 1.05 * early && late > energyAt(current))
            ++next;
        else if (early > 1.05 * late && early > energyAt(current))
            --next;
    }
    m_nextDecision = next;

    // Keep the tone energies of the last symbols: when the whole-bin acquisition moves the
    // tone set while nothing is being received, they are decoded again on the right bins, so
    // the start of a transmission heard on the wrong bins is not lost.
    m_mfskRecent.push_back(e);
    if (m_mfskRecent.size() > kMfskReplay)
        m_mfskRecent.pop_front();
    m_mfskPathGain = 0.0;
    m_mfskPathSteps = 0;
    mfskDecode(e, out);
    mfskSquelch(repeated);
}

void ChannelDemodulator::mfskSquelch(bool repeated)
{
    // The squelch judges how well the deinterleaved soft bits fit the code, as the decoder sees
    // them: the chosen pairing's best-path gain per coded bit (1 on a clean signal, about
    // kMfskNoiseFit on noise). A carrier or a PSK signal sits in the same one or two bins, and
    // some steady tones fit the code (a run of zeros or ones): symbols whose strongest tone
    // repeats count as nothing. The characters leave the decoder about 10 symbols after their
    // bits enter it: judge the squelch on the bits they came from.
    if (m_mfskPathSteps == 0)
        return; // the deinterleaver is still filling
    const double fit = (m_mfskPathGain / (2.0 * m_mfskPathSteps) - kMfskNoiseFit) / kMfskFitSpan;
    m_qualityDelay.push_back(repeated ? 0.0 : fit);
    if (m_qualityDelay.size() > static_cast<std::size_t>(kMfskViterbiDepth / 2)) {
        updateSquelch(m_qualityDelay.front());
        m_qualityDelay.pop_front();
    }
}

void ChannelDemodulator::mfskRedecode(int shift, std::string& out)
{
    for (auto& old : m_mfskRecent) {
        std::array<double, kMfskBins> moved{};
        for (int b = 0; b < kMfskBins; ++b) {
            const int from = b + shift;
            moved[static_cast<std::size_t>(b)] =
                from >= 0 && from < kMfskBins ? old[static_cast<std::size_t>(from)] : 0.0;
        }
        old = moved;
    }
    // The squelch can open on a tone set one bin off (neighbouring tones differ in one bit of
    // four, so such symbols still fit the code fairly well): a move soon after opening decodes
    // the kept symbols again too, repeating what they gave on the wrong bins. Later, what was
    // decoded has been delivered: carry on.
    if (m_open && m_symbols - m_openedAt > static_cast<long long>(kMfskReplay))
        return;
    m_held.clear();
    restartMfskDecoding();
    for (const auto& e : m_mfskRecent)
        mfskDecode(e, out);
}

void ChannelDemodulator::restartMfskDecoding()
{
    m_deinterleaver.reset();
    for (auto& v : m_mfskViterbi)
        if (v)
            v->reset();
    for (auto& d : m_mfskVaricode)
        d.reset();
    m_mfskGain.fill(0.0);
    m_pendingSoft.fill(0.0f);
    m_codedCount = 0;
    m_mfskChoice = 0;
}

void ChannelDemodulator::mfskDecode(const std::array<double, kMfskBins>& e, std::string& out)
{
    double total = 0.0;
    double emax = 0.0;
    for (int b = 4; b < 20; ++b) {
        total += e[static_cast<std::size_t>(b)];
        emax = std::max(emax, e[static_cast<std::size_t>(b)]);
    }
    const double noise = std::max((total - emax) / 15.0, 1e-12);
    // Soft bits of the interleaved word: word = tone ^ (tone >> 1).
    std::array<double, 16> toneEnergy{};
    for (int t = 0; t < 16; ++t) {
        const int onAir = m_mode.reversed ? 15 - t : t;
        toneEnergy[static_cast<std::size_t>(t)] = e[static_cast<std::size_t>(4 + onAir)] / noise;
    }
    std::array<float, 4> soft{};
    for (int j = 0; j < 4; ++j) {
        const int mask = 8 >> j;
        double one = 0.0;
        double zero = 0.0;
        for (int t = 0; t < 16; ++t) {
            const int word = t ^ (t >> 1);
            double& target = (word & mask) != 0 ? one : zero;
            target = std::max(target, toneEnergy[static_cast<std::size_t>(t)]);
        }
        soft[static_cast<std::size_t>(j)] = static_cast<float>((one - zero) / (one + zero + 1.0));
    }
    const auto coded = m_deinterleaver.process(soft);

    for (float c : coded) {
        const int decoder = static_cast<int>((m_codedCount + 1) & 1);
        if (m_codedCount > 0) {
            const float a = m_pendingSoft[0];
            const float b = c;
            const std::array<float, 4> scores = {-a - b, a - b, -a + b, a + b};
            auto& viterbi = *m_mfskViterbi[static_cast<std::size_t>(decoder)];
            const int bit = viterbi.push(scores);
            auto& gain = m_mfskGain[static_cast<std::size_t>(decoder)];
            gain += 0.02 * (viterbi.lastGain() - gain);
            if (decoder == m_mfskChoice) {
                m_mfskPathGain += viterbi.lastGain();
                ++m_mfskPathSteps;
            }
            if (bit >= 0) {
                const auto ch = m_mfskVaricode[static_cast<std::size_t>(decoder)].push(bit);
                if (ch && decoder == m_mfskChoice)
                    emit(*ch, out);
            }
        }
        m_pendingSoft[0] = c;
        ++m_codedCount;
        // Keep the pairing whose path fits the code better (with some hysteresis).
        const int other = 1 - m_mfskChoice;
        if (m_mfskGain[static_cast<std::size_t>(other)] >
            1.1 * m_mfskGain[static_cast<std::size_t>(m_mfskChoice)] + 0.01)
            m_mfskChoice = other;
    }
}

} // namespace hf::modem
