#include "hf/modem/channel_demodulator.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace hf::modem {

namespace {

constexpr double kQualityScale = 2500.0;

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
        m_detectFilter.reset();
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
        // GMSK250's decisions: its channel filter (the symbol rate plus 60 Hz) already narrows
        // the signal, and a half sine of 14 samples after it detects about 0.5 dB better than
        // the Hann pulse (the timing, the lock and everything else keep the Hann pulse, which
        // pulls in at lower SNR; GMSK63, whose channel filter is twice as wide for its rate,
        // measured slightly worse with the half sine).
        if (m_mode.modulation == Modulation::Gmsk && m_mode.baud > 100.0)
            m_detectFilter = std::make_unique<ComplexFir>(halfSinePulse(14));
        else
            m_detectFilter.reset();
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
    // GMSK's quality scatters more on noise (scaled up by a quarter to full scale): the
    // squelch averages it over 160 symbols at both rates, which keeps 20 minutes of noise under
    // a squelch of 500. The tracking keeps the shorter average.
    m_squelchAlpha =
        m_mode.modulation == Modulation::Gmsk ? std::min(m_qualityAlpha, 1.0 / 160.0) : m_qualityAlpha;
    m_afc = 0.0;
    m_qualityAvg = 0.0;
    m_lockAvg = 0.0;
    m_preambleAgreed = false;
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
    m_replayWait = 0;
    m_toneOffset = 0.0;
    m_movedFromNoise = false;
    m_awaitingFit = false;
    m_betterElsewhere = false;
    m_mfskFit = 0.0;
    m_lastTones = {-1, -1};
    m_z.fill({});
    m_detected.fill({});
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
    m_retimeIn = 0;
    m_magAvg = 1e-6;
    m_fastMag = 0.0;
    m_reference = {};
    m_gmskCarrier = {};
    m_gmskSquare = {};
    m_gmskSquareShort = {};
    m_gmskSquareSize = 0.0;
    m_gmskScattered = 0;
    m_gmskTurn = 0.0;
    m_gmskSymbol = 0;
    m_gmskRail = {};
    m_pskVaricode.reset();
    // GMSK decides each bit from a rail's symbol and the one two bits back: a wrong symbol
    // turns the bit two later.
    const int span = m_mode.modulation == Modulation::Gmsk ? 2 : 1;
    m_softVaricode = SoftVaricodeDecoder(span);
    m_frameRepair = FrameRepair(span, SoftVaricodeDecoder::kDefaultDelay);
    m_bitMean = 0.0;
    m_bitPower = 0.0;
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

} // namespace hf::modem
