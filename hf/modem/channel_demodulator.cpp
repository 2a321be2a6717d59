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
// GMSK's and BPSK's preamble: seconds per block of the frequency measurement (a quarter of the
// preamble), and how much of the block's power its two-symbol product must keep to count as a
// preamble.
constexpr double kPreambleBlock = 0.256;
constexpr double kGmskPreambleFit = 0.45;
// BPSK's reversals the same way: blocks of 16 symbols at 62.5 Bd hold 64 products, noise keeps
// about an eighth of their power (0.35 gained most at PSK63's target: 0.45 lost twice as many
// characters 40 Hz off, 0.3 no fewer).
constexpr double kBpskPreambleFit = 0.35;
// GMSK's decision-directed frequency tracking before and after the channel opens (the other
// modes: 0.12 and 0.015). The preamble has set the frequency already, and 0.12 scattered it by
// a few Hz, which garbled the start of the text; open, a sender's frequency hardly moves within
// a frame, and the slower tracking scatters less.
constexpr double kGmskPullIn = 0.03;
// The largest two-bit turn (rad) a decided 0 bit may show to count for the frequency.
constexpr double kGmskZeroTurn = 1.5;
constexpr double kGmskTracking = 0.008;

// QPSK quality: the best path's gain per symbol on random phases (measured: 0.714), and the
// gain above it that reads full scale (a signal at the decoder's 2 % point gains about 0.16
// more and reads about two thirds of full scale, like the other modes at theirs).
constexpr double kQpskNoiseFit = 0.714;
constexpr double kQpskFitSpan = 0.24;

// MFSK16 quality: the chosen pairing's best-path gain per coded bit on noise (measured: 0.17),
// and the gain above it that reads full scale (set like QPSK's).
constexpr double kMfskNoiseFit = 0.17;
constexpr double kMfskFitSpan = 0.27;
// MFSK16 frequency search: how far a tone set's code fit must stand out from the median of all
// (on noise the best one stays within 0.06 of it over minutes; the right one of a signal at
// -13.5 dB lies 0.07 or more above it 99 % of the time), and by how much it must beat the
// present tone set's.
constexpr double kMfskStandOut = 0.07;
// ... and how far for the fine tracking to run before the tones stand out on their own.
constexpr double kMfskSignalFit = 0.04;
constexpr double kMfskMoveMargin = 0.04;
// A frequency move decodes the kept symbols again from the start and keeps what came after the
// last stretch of them whose quality (the squelch's scale, 0..1) fell under this.
constexpr double kMfskReplayKeep = 0.15;
constexpr double kMfskEnergyLock = 0.16;

/// Symbols in a block of the preamble measurement at `baud`.
int preambleBlock(double baud)
{
    return static_cast<int>(std::lround(kPreambleBlock * baud));
}

float magnitude(Complex c)
{
    return std::sqrt(c.real() * c.real() + c.imag() * c.imag());
}

/// The soft bits of an MFSK16 symbol read on the tone set whose lowest tone is at `first` of
/// `e` (the tones every second entry; the interleaved word = tone ^ (tone >> 1), tone 0 the
/// lowest, or the highest if `reversed`), and the entry of its strongest tone.
template <std::size_t N>
std::array<float, 4> mfskSoftBits(const std::array<double, N>& e, int first, bool reversed, int& strongest)
{
    double total = 0.0;
    double emax = 0.0;
    strongest = first;
    for (int i = first; i < first + 32; i += 2) {
        total += e[static_cast<std::size_t>(i)];
        if (e[static_cast<std::size_t>(i)] > emax) {
            emax = e[static_cast<std::size_t>(i)];
            strongest = i;
        }
    }
    const double noise = std::max((total - emax) / 15.0, 1e-12);
    std::array<double, 16> toneEnergy{};
    for (int t = 0; t < 16; ++t) {
        const int onAir = reversed ? 15 - t : t;
        toneEnergy[static_cast<std::size_t>(t)] = e[static_cast<std::size_t>(first + 2 * onAir)] / noise;
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
    return soft;
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
    for (auto& f : m_shiftFit)
        f.reset();
    m_entryHistory.fill(0.0);
    m_historyAge = 0;
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
        for (int i = 0; i < kMfskGrid; ++i)
            m_binStep[static_cast<std::size_t>(i)] = std::polar(1.0, kTwoPi * (kMfskLow + i / 2.0) / kMfskN);
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
    m_replayIn = 0;
    m_movedFromNoise = false;
    m_awaitingFit = false;
    m_betterElsewhere = false;
    m_mfskFit = 0.0;
    m_lastTones = {-1, -1};
    m_z.fill({});
    m_phaseEnergy.fill(0.0);
    m_count = 0;
    m_nextDecision = mfsk ? kMfskN : kSps * 3;
    m_prevWide = {};
    m_wideAcc = {};
    m_preambleRecent.fill({});
    m_gmskTurns.fill(0.0);
    m_gmskBits.fill(1);
    restartPreambleBlock();
    m_wideHold = 0;
    m_magAvg = 1e-6;
    m_fastMag = 0.0;
    m_reference = {};
    m_gmskReference = {};
    m_pskVaricode.reset();
    m_window.fill({});
    m_bins.fill({});
    m_offsetEnergy.fill(0.0);
    for (auto& f : m_shiftFit)
        f.reset();
    m_entryHistory.fill(0.0);
    m_historyAge = 0;
    m_hoppingFor = 0;
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
    if (!m_open && level >= m_squelch && !(m_squelch > 0 && m_betterElsewhere)) {
        m_open = true;
        m_openedAt = m_symbols;
        // The quality average lags the signal: release what was decoded over the last 1.5 s (2.5 s
        // for MFSK16) while the quality was rising (the preamble carries no characters, so this is
        // the start of the text, not noise from before the signal). GMSK's squelch averages over
        // 160 symbols (2.6 s at 62.5 Bd): it looks back one and a half times that.
        long long window = std::max(40LL, static_cast<long long>(1.5 * m_mode.baud));
        if (m_mode.modulation == Modulation::Gmsk)
            window = std::max(window, static_cast<long long>(1.5 / m_squelchAlpha));
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
    if (m_open && !m_replaying && m_replayIn == 0) {
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
    // The preamble sets the frequency for GMSK and PSK63 (PSK250's wide discriminator pulls in
    // within its preamble of 256 symbols: no gain measured).
    if (m_mode.modulation == Modulation::Gmsk ||
        (m_mode.modulation == Modulation::Bpsk && m_mode.baud < 100.0))
        preambleFrequency(u);

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
        // GMSK's postamble, a steady tone a quarter of the symbol rate off the carrier, must
        // not set the tracking now that it counts as unlocked.
        if (m_mode.modulation == Modulation::Gmsk)
            restartPreambleBlock();
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
            // the frequency; both kinds measure the quality.
            // Over one bit it turns by about +-90 degrees, which tells GMSK from a steady
            // carrier or a PSK signal (0 or 180 degrees): the quality needs both.
            const Complex d2 = at(k) * std::conj(at(k - 2 * kSps));
            const float m2 = magnitude(d2);
            std::rotate(m_gmskTurns.rbegin(), m_gmskTurns.rbegin() + 1, m_gmskTurns.rend());
            m_gmskTurns[0] = 0.0;
            if (m2 > 0.0f) {
                const Complex n2 = d2 / m2;
                lock = (n2 * n2).real();
                q = 0.5 * (lock - (n * n).real()) / kGmskCleanFit;
                m_gmskTurns[0] = std::arg(n2);
            }
            // The Gaussian smoothing adds to a 0 bit's turn a little of the frequencies of the
            // bits on either side of the two it spans, which a repeated pattern (the dots, "de
            // N0CALL de N0CALL") does not average out: the tracking wandered by a few Hz over
            // them. Those added parts cancel when the bits before and after the 0 bit are the
            // same, so only such 0 bits count, two symbols late, once the one after is decided.
            if (m_gmskBits[1] == 0 && m_gmskBits[2] == m_gmskBits[0] &&
                std::fabs(m_gmskTurns[2]) < kGmskZeroTurn)
                error = m_gmskTurns[2] / 2.0;
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
    if (m_wideHold > 0)
        --m_wideHold;
    else if (m_lockAvg < 0.15) {
        const double wide = std::arg(m_wideAcc) * m_outRate / kTwoPi;
        if (std::abs(m_wideAcc) > 0.0f)
            m_afc += 0.04 * std::clamp(wide, -m_mode.baud, m_mode.baud);
    }
    if (m_lockAvg > 0.15)
        m_afc += (gmsk ? (m_open ? kGmskTracking : kGmskPullIn) : (m_open ? 0.015 : 0.12)) * error *
                 m_mode.baud / kTwoPi;
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
        std::rotate(m_gmskBits.rbegin(), m_gmskBits.rbegin() + 1, m_gmskBits.rend());
        m_gmskBits[0] = soft > 0.0f ? 1 : 0;
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

void ChannelDemodulator::preambleFrequency(Complex u)
{
    // The preamble (GMSK's alternating frequency, BPSK's phase reversals) repeats every two
    // symbols, so the channel's input times itself two symbols back turns by exactly the
    // frequency error over two symbols, whatever the sample phase, the filters or the level.
    // Data (a 1 bit turns the phase by 180 degrees over two symbols, a 0 bit by none) and noise
    // average that out. The products are taken against the carrier (the tracking's correction
    // turned back), so they hold still while the tracking moves. The two-symbol product knows
    // the frequency only to within a quarter of the symbol rate: the product a short lag back
    // (the mean frequency) chooses between the candidates: half a symbol for GMSK (to within
    // the symbol rate); a quarter for BPSK, whose reversals are two tones half the symbol rate
    // either side of the carrier that cancel over half a symbol (to within twice the rate).
    // Once the tracking has locked the preamble is over; before, a steady tone may move the
    // tracking too, which costs nothing. Every second sample is enough (the channel filter
    // passes less than half the rate).
    const bool gmsk = m_mode.modulation == Modulation::Gmsk;
    const double shortLag = gmsk ? 0.5 : 0.25; // symbols
    if (m_afc != m_lagTurnAfc) {
        // The tracking moves once a symbol: what was summed since is turned back as it was,
        // and the turns follow its small steps without a sine each time.
        m_lagShort += std::complex<double>(m_symbolShort) * m_lagTurn[0];
        m_lagTwo += std::complex<double>(m_symbolTwo) * m_lagTurn[1];
        m_symbolShort = m_symbolTwo = {};
        const double step = kTwoPi * (m_afc - m_lagTurnAfc) / m_outRate * (kSps / 4);
        if (std::fabs(step) < 0.2)
            setLagTurns(m_quarterTurn *
                        std::complex<double>(1.0 - step * step / 2.0, step - step * step * step / 6.0));
        else
            setLagTurns(std::polar(1.0, kTwoPi * m_afc / m_outRate * (kSps / 4)));
        m_lagTurnAfc = m_afc;
    }
    if ((m_count & 1) == 0) {
        // m_preambleRecent holds every second sample of the last two symbols.
        const auto slot = static_cast<std::size_t>(m_count >> 1) % m_preambleRecent.size();
        const auto lagSlots = static_cast<std::size_t>(shortLag * kSps / 2);
        const Complex shortBack =
            m_preambleRecent[(slot + m_preambleRecent.size() - lagSlots) % m_preambleRecent.size()];
        m_symbolShort += u * std::conj(shortBack);
        m_symbolTwo += u * std::conj(m_preambleRecent[slot]);
        m_preamblePower += std::norm(u);
        m_preambleRecent[slot] = u;
    }
    if (--m_blockLeft > 0)
        return;
    m_lagShort += std::complex<double>(m_symbolShort) * m_lagTurn[0];
    m_lagTwo += std::complex<double>(m_symbolTwo) * m_lagTurn[1];
    const double two = std::abs(m_lagTwo);
    // An open BPSK channel is receiving text, whose stretches of reversals must not move it
    // (at squelch 0 the channel is always open: its text, not a preamble, at the lower SNRs
    // where the lock average dips).
    const double fitNeeded = gmsk ? kGmskPreambleFit : kBpskPreambleFit;
    if (m_lockAvg < 0.15 && (gmsk || !m_open) && two > fitNeeded * m_preamblePower) {
        const double fine = std::arg(m_lagTwo) * m_mode.baud / (2.0 * kTwoPi);
        const double coarse = std::arg(m_lagShort) * m_mode.baud / (shortLag * kTwoPi);
        const double step = m_mode.baud / 2.0;
        const double offset = fine + step * std::round((coarse - fine) / step);
        m_afc = std::clamp(offset, -kCapture, kCapture);
        updateMixer();
        m_wideHold = 2 * preambleBlock(m_mode.baud);
    }
    restartPreambleBlock();
}

void ChannelDemodulator::restartPreambleBlock()
{
    m_symbolShort = m_symbolTwo = {};
    m_lagShort = m_lagTwo = {};
    m_preamblePower = 0.0;
    m_blockLeft = preambleBlock(m_mode.baud) * kSps;
    // The turns afresh (their small steps gather rounding errors).
    m_lagTurnAfc = m_afc;
    setLagTurns(std::polar(1.0, kTwoPi * m_afc / m_outRate * (kSps / 4)));
}

void ChannelDemodulator::setLagTurns(std::complex<double> quarter)
{
    m_quarterTurn = quarter;
    const auto half = quarter * quarter;
    const auto one = half * half;
    m_lagTurn = {m_mode.modulation == Modulation::Gmsk ? half : quarter, one * one};
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
        for (int i = 0; i < kMfskGrid; ++i) {
            std::complex<double> acc;
            for (int m = 0; m < kMfskN; ++m) {
                const auto idx = static_cast<std::size_t>((m_count + 1 + m) % kMfskN);
                acc += std::complex<double>(m_window[idx]) *
                       std::polar(1.0, -kTwoPi * (kMfskLow + i / 2.0) * m / kMfskN);
            }
            // The sliding form carries an extra phase; only magnitudes are used.
            m_bins[static_cast<std::size_t>(i)] = acc;
        }
    } else {
        // A bin half-way between whole ones turns by half a cycle over the window: the sample
        // leaving it enters with the opposite sign.
        for (int i = 0; i < kMfskGrid; i += 2) {
            auto& bin = m_bins[static_cast<std::size_t>(i)];
            bin = (bin + x - oldest) * m_binStep[static_cast<std::size_t>(i)];
            auto& half = m_bins[static_cast<std::size_t>(i + 1)];
            half = (half - x - oldest) * m_binStep[static_cast<std::size_t>(i + 1)];
        }
    }
    // Symbol timing from the strongest entry of the grid; until the tones fit MFSK the half
    // bins too: tones half-way between the whole bins (a signal 40 Hz off) showed no clear
    // timing peak in those alone (once locked the whole bins time a little better).
    double best = 0.0;
    const int step = m_lockAvg < 0.2 ? 1 : 2;
    for (int i = 0; i < kMfskGrid; i += step)
        best = std::max(best, std::norm(m_bins[static_cast<std::size_t>(i)]));
    double& energy = m_offsetEnergy[static_cast<std::size_t>(m_count % kMfskN)];
    energy += (best - energy) / 8.0;
    ++m_count;
    if (m_count - 1 == m_nextDecision)
        mfskSymbol(out);
}

void ChannelDemodulator::mfskSymbol(std::string& out)
{
    const long long k = m_nextDecision;
    MfskEnergies e{};
    for (int i = 0; i < kMfskGrid; ++i)
        e[static_cast<std::size_t>(i)] = std::norm(m_bins[static_cast<std::size_t>(i)]);
    auto bin = [&e](int b) { return e[static_cast<std::size_t>(2 * b)]; };
    // Tone set: bins 4..19 (offsets -7..8).
    int maxBin = 4;
    double total = 0.0;
    for (int b = 4; b < 20; ++b) {
        total += bin(b);
        if (bin(b) > bin(maxBin))
            maxBin = b;
    }
    const double emax = bin(maxBin);
    const double noise = std::max((total - emax) / 15.0, 1e-12);
    const double ratio = emax / noise;
    // MFSK hops: the strongest tone seldom repeats within two symbols (about 1 in 8), while a
    // carrier or a PSK signal stays in the same one or two bins. Such symbols count as noise.
    const bool repeated = maxBin == m_lastTones[0] || maxBin == m_lastTones[1];
    m_lastTones[1] = m_lastTones[0];
    m_lastTones[0] = maxBin;
    // How well the tones fit MFSK, for the tracking: as they come for the fine tracking, and
    // as the characters now decoded had them (they come out of the interleaver and the decoder
    // about 40 symbols after their tones) for the timing.
    const double fit = repeated ? 0.0 : std::clamp((ratio - 3.4) / (ratio + 1.0), -1.0, 1.0);
    m_mfskFit += (fit - m_mfskFit) / 16.0;
    m_toneFitDelay.push_back(fit);
    if (m_toneFitDelay.size() > kMfskDecodeDelay) {
        m_lockAvg += m_qualityAlpha * (m_toneFitDelay.front() - m_lockAvg);
        m_toneFitDelay.pop_front();
    }

    // Frequency: moves (by half bins) to the tone set whose symbols fit the code clearly better
    // than the present one's; fine tracking from the half-bin entries beside the strongest
    // tone. Every tone set of the search is decoded all the time (the fit needs the
    // deinterleaver's 30 symbols): a signal tens of Hz off is found from its first characters,
    // while a steady tone (the preamble, a carrier) moves nothing.
    for (int q = -kMfskSearch; q <= kMfskSearch; ++q) {
        int strongest = 0;
        const auto soft = mfskSoftBits(e, kMfskToneSet + q, m_mode.reversed, strongest);
        m_shiftFit[static_cast<std::size_t>(q + kMfskSearch)].push(soft, strongest);
    }
    auto fitAt = [this](int q) -> const MfskCodeFit& {
        return m_shiftFit[static_cast<std::size_t>(q + kMfskSearch)];
    };
    auto reachable = [this, &fitAt](int q) {
        return std::fabs(m_afc + q * m_mode.baud / 2.0) <= kCapture && fitAt(q).ready();
    };
    // A signal makes one tone set stand out from the others; on noise the best of them is
    // only a little above their median.
    std::array<double, kMfskShifts> fits{};
    for (int i = 0; i < kMfskShifts; ++i)
        fits[static_cast<std::size_t>(i)] = m_shiftFit[static_cast<std::size_t>(i)].fit();
    const double bestFit = *std::max_element(fits.begin(), fits.end());
    std::nth_element(fits.begin(), fits.begin() + kMfskShifts / 2, fits.end());
    const double median = fits[kMfskShifts / 2];
    // The squelch measures the present tone set only: it waits while another fits clearly
    // better.
    m_betterElsewhere = false;
    for (int q = -kMfskSearch; q <= kMfskSearch; ++q)
        if (q != 0 && reachable(q) && fitAt(q).fit() > fitAt(0).fit() + kMfskMoveMargin)
            m_betterElsewhere = true;
    // A tone set that stands out itself moves only for a clearly better one at least a bin
    // away (half a bin is the fine tracking's work).
    const bool settled = fitAt(0).fit() > median + kMfskStandOut;
    const double margin = settled ? 2.0 * kMfskMoveMargin : kMfskMoveMargin;
    int bestShift = 0;
    for (int d = settled ? 2 : 1; d <= kMfskSearch; ++d)
        for (int q : {-d, d})
            if (reachable(q) && fitAt(q).fit() > fitAt(bestShift).fit() + margin)
                bestShift = q;
    // Below about -14.5 dB the right tone set hardly stands out by its code fit over the
    // symbols it averages; the tone energies over a longer time still show where the tones
    // are. While no tone set fits clearly, the tone set moves to where they lie.
    mfskEnergyHistory(e, noise);
    if (bestShift != 0 && fitAt(bestShift).fit() <= median + kMfskStandOut)
        bestShift = 0;
    bool byEnergy = false;
    if (bestShift == 0 && !settled && bestFit <= median + kMfskSignalFit) {
        bestShift = mfskEnergyShift();
        byEnergy = bestShift != 0;
    }
    if (bestShift != 0) {
        m_afc += bestShift * m_mode.baud / 2.0;
        updateMixer();
        moveSearch(bestShift);
        m_entryHistory.fill(0.0);
        m_historyAge = 0;
        // The kept symbols are decoded again once the fine tracking has settled on the new
        // tone set; until then nothing is delivered. A move by the energies may leave the
        // tones half a bin off: it waits until the tone set fits the code.
        m_movedFromNoise = !settled || (m_replayIn > 0 && m_movedFromNoise);
        m_replayIn = byEnergy ? kMfskConfirm : kMfskSettle;
        m_awaitingFit = byEnergy;
    } else if (m_awaitingFit && settled) {
        m_awaitingFit = false;
        m_replayIn = 1;
    }
    // Fine tracking: the strongest tone onto its bin. Before the tones clearly stand out it
    // runs only while some tone set of the search fits the code better than noise does (on
    // noise alone it would wander off), and faster until the channel opens.
    if (m_mfskFit > 0.15 || (m_mfskFit > 0.03 && bestFit > median + kMfskSignalFit)) {
        const double a = std::sqrt(e[static_cast<std::size_t>(2 * maxBin - 1)]);
        const double c = std::sqrt(e[static_cast<std::size_t>(2 * maxBin + 1)]);
        if (a + c > 0.0) {
            const double delta = 0.5 * (c - a) / (a + c); // bins
            m_afc = std::clamp(m_afc + (m_open ? 0.1 : 0.25) * delta * m_mode.baud, -kCapture, kCapture);
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

    // Keep the tone energies of the last symbols: when the search moves the tone set, they are
    // decoded again on the right tones, so the start of a transmission heard on the wrong ones
    // is not lost.
    m_mfskRecent.push_back({e, m_afc});
    if (m_mfskRecent.size() > kMfskReplay)
        m_mfskRecent.pop_front();
    if (m_replayIn > 0 && --m_replayIn == 0) {
        m_awaitingFit = false;
        mfskRedecode(out);
    } else
        mfskDecode(e, out);
    mfskSquelch(repeated);
}

void ChannelDemodulator::mfskEnergyHistory(const MfskEnergies& e, double noise)
{
    for (int i = 0; i < kMfskGrid; ++i) {
        auto& h = m_entryHistory[static_cast<std::size_t>(i)];
        h += (e[static_cast<std::size_t>(i)] / noise - h) * kMfskHistoryWeight;
    }
    ++m_historyAge;
    m_hoppingFor = m_lockAvg < kMfskEnergyLock ? 0 : m_hoppingFor + 1;
}

int ChannelDemodulator::mfskEnergyShift() const
{
    // Only while the tones hop like MFSK's (on noise the lock average stays under 0.14 over
    // minutes; a signal at -16 dB reads about 0.2): on noise alone the sums differ by chance.
    if (m_historyAge <= kMfskHistoryWarmUp || m_hoppingFor < kMfskEnergyWait)
        return 0;
    auto sumAt = [this](int q) {
        double sum = 0.0;
        for (int i = kMfskToneSet + q; i < kMfskToneSet + q + 32; i += 2)
            sum += m_entryHistory[static_cast<std::size_t>(i)];
        return sum;
    };
    // A shift must do clearly better than every nearer one (by 3 %, or the gained entries are
    // plainly signal); only shifts the tracking may take count (while only the steady preamble
    // tone is there, every shift that covers it sums about the same).
    auto better = [&](int q, int than) {
        return sumAt(q) > 1.03 * sumAt(than) || sumAt(q) - sumAt(than) > 8.0;
    };
    int best = 0;
    for (int d = 2; d <= kMfskSearch; d += 2)
        for (int q : {-d, d})
            if (std::fabs(m_afc + q * m_mode.baud / 2.0) <= kCapture && better(q, best))
                best = q;
    // The gained entries must hold clearly more than noise (each averages 1 here once the
    // history has filled).
    const double noiseSum = 16.0 * (1.0 - std::pow(1.0 - kMfskHistoryWeight, m_historyAge));
    const double needed = m_lockAvg < 0.2 ? 0.5 : 0.8;
    if (best != 0 && sumAt(best) - sumAt(0) > needed && sumAt(best) > 1.25 * noiseSum)
        return best;
    return 0;
}

void ChannelDemodulator::moveSearch(int shift)
{
    // The code fits stay with the frequencies they were measured at; the new edges start afresh.
    std::array<MfskCodeFit, kMfskShifts> moved;
    for (int i = 0; i < kMfskShifts; ++i)
        if (i + shift >= 0 && i + shift < kMfskShifts)
            moved[static_cast<std::size_t>(i)] = std::move(m_shiftFit[static_cast<std::size_t>(i + shift)]);
    m_shiftFit = std::move(moved);
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
    m_qualityDelay.push_back(repeated ? 0.0 : mfskPathFit());
    if (m_qualityDelay.size() > static_cast<std::size_t>(kMfskViterbiDepth / 2)) {
        updateSquelch(m_qualityDelay.front());
        m_qualityDelay.pop_front();
    }
}

void ChannelDemodulator::mfskRedecode(std::string& out)
{
    // The squelch can open on a tone set one bin off (neighbouring tones differ in one bit of
    // four, so such symbols still fit the code fairly well): a move soon after opening decodes
    // the kept symbols again too, repeating what they gave on the wrong bins. Later, what was
    // decoded has been delivered: carry on, unless the tones it came from did not fit the code
    // (an open squelch, squelch 0 above all, delivers what noise decodes to).
    if (m_open && m_symbols - m_openedAt > static_cast<long long>(kMfskReplay) && !m_movedFromNoise) {
        mfskDecode(m_mfskRecent.back().energies, out);
        for (const auto& held : m_held)
            out.push_back(held.first);
        m_held.clear();
        return;
    }
    // What the kept symbols give is held, as if the channel were closed, and whatever came
    // before the last stretch that did not fit the code (the noise before the signal) is
    // dropped; an open channel delivers the rest at once.
    m_held.clear();
    restartMfskDecoding();
    m_replaying = true;
    double fit = 0.0;
    std::deque<double> fits; // delayed like the squelch's view, to the characters they gave
    for (const auto& [kept, afc] : m_mfskRecent) {
        // Each symbol read where the tone set is now (to the nearest half bin): the fine
        // tracking may have moved since.
        const auto shift = static_cast<int>(std::lround(2.0 * (m_afc - afc) / m_mode.baud));
        MfskEnergies e{};
        for (int i = std::max(0, -shift); i < std::min(kMfskGrid, kMfskGrid - shift); ++i)
            e[static_cast<std::size_t>(i)] = kept[static_cast<std::size_t>(i + shift)];
        mfskDecode(e, out);
        if (m_mfskPathSteps == 0)
            continue;
        fit += (mfskPathFit() - fit) / 8.0;
        fits.push_back(fit);
        if (fits.size() > static_cast<std::size_t>(kMfskViterbiDepth / 2)) {
            if (fits.front() < kMfskReplayKeep)
                m_held.clear();
            fits.pop_front();
        }
    }
    m_replaying = false;
    if (m_open) {
        for (const auto& held : m_held)
            out.push_back(held.first);
        m_held.clear();
    }
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

double ChannelDemodulator::mfskPathFit() const
{
    return (m_mfskPathGain / (2.0 * m_mfskPathSteps) - kMfskNoiseFit) / kMfskFitSpan;
}

void ChannelDemodulator::mfskDecode(const MfskEnergies& e, std::string& out)
{
    m_mfskPathGain = 0.0;
    m_mfskPathSteps = 0;
    int strongest = 0;
    const auto soft = mfskSoftBits(e, kMfskToneSet, m_mode.reversed, strongest);
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
