// MFSK16: the tone mode of a receive channel.
#include "hf/modem/channel_demodulator.h"

#include <algorithm>
#include <cmath>

namespace hf::modem {

namespace {

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
        m_replayWait = 0;
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
            m_toneOffset += (std::fabs(delta) - m_toneOffset) / 4.0;
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
    // The replay reads the kept symbols on the nearest half bin to where the tone set is now: it
    // waits (for a while) until the fine tracking has brought the tones near their bins. With
    // the tones about half-way between two bins it can swing from one to the other for tens of
    // symbols; read half a bin off, the start of the transmission was lost.
    const bool tonesOff = m_toneOffset > kMfskReplayOffset && m_replayWait < kMfskConfirm;
    if (m_replayIn == 1 && tonesOff) {
        ++m_replayWait;
        mfskDecode(e, out);
    } else if (m_replayIn > 0 && --m_replayIn == 0) {
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
