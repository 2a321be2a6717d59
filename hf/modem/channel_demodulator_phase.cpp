// BPSK, QPSK and GMSK: the phase modes of a receive channel.
#include "hf/modem/channel_demodulator.h"

#include <algorithm>
#include <cmath>

namespace hf::modem {

namespace {

constexpr float kIsi = 0.12f;
// BPSK decision-feedback reference: weight of the older symbols (0.7 measured best).
constexpr float kReferenceWeight = 0.7f;
// BPSK and GMSK soft bits: averaging weight of the decisions' size and scatter (about 50
// symbols).
constexpr double kBitAverage = 0.02;
// GMSK's coherent detection: weight of each symbol in the squared carrier reference (before
// the tracking has locked and after), the loop's gain for the turn per symbol the reference
// follows and the largest turn (rad; 2 Hz at 62.5 Bd, 8 Hz at 250: the frequency tracking takes
// the rest). Measured best at 0.1 and 0.002 (0.05..0.16 and 0.001..0.003 within the spread,
// 0.01 much worse); 0.25 and 0.5 before the lock the same.
constexpr double kGmskPullInWeight = 0.25;
constexpr double kGmskCarrierWeight = 0.1;
constexpr double kGmskTurnGain = 0.002;
constexpr double kGmskMaxTurn = 0.2;
// GMSK quality: the neighbours' leak into the other axis keeps a clean signal's symbols about
// 0.3 rad off their axis, so its scatter measure reads about 0.77 where the other modes read 1;
// dividing by this puts a clean signal near full scale like them. GMSK250's decisions, after its
// own half-sine filter, read about 0.65.
constexpr double kGmskCleanFit = 0.8;
constexpr double kGmskHalfSineCleanFit = 0.68;
// MSK's rails: a symbol turned back by its quarter turn (symbol count modulo 4).
constexpr std::complex<double> kQuarterBack[4] = {{1, 0}, {0, -1}, {-1, 0}, {0, 1}};
// GMSK's and BPSK's preamble: seconds per block of the frequency measurement (a quarter of the
// preamble), and how much of the block's power its two-symbol product must keep to count as a
// preamble.
constexpr double kPreambleBlock = 0.256;
constexpr double kGmskPreambleFit = 0.45;
// BPSK's reversals the same way: blocks of 16 symbols at 62.5 Bd hold 64 products, noise keeps
// about an eighth of their power (0.35 gained most at PSK63's target: 0.45 lost twice as many
// characters 40 Hz off, 0.3 no fewer).
constexpr double kBpskPreambleFit = 0.35;
// ... and on a channel still open whose lock has gone (see preambleFrequency): weak text keeps
// its lock down too, and a block of it passing for a preamble moved the tracking (PSK63 at
// squelch 0, 32 seeds: 0.35 lost 60 more characters of 48000 six and four dB under the target,
// 0.42 four and five; a decibel above it 0.26 % -> 0.11 % with 0.35, 0.16 % with 0.42).
constexpr double kBpskOpenPreambleFit = 0.42;
// The lock average from which the tracking counts as locked.
constexpr double kLocked = 0.15;
// The most a preamble block's short-lag product may hold against its two-symbol product when it
// overrides a lock (the preamble's 0.7..1.05, the text's 1.3 and more).
constexpr double kPreambleShortToTwo = 1.2;
// How far (in candidate steps) a block's mean frequency must lie from the candidate the previous
// block set before a block moves the tracking to another candidate.
constexpr double kPreambleKeep = 0.75;
// GMSK's short averages of the symbols squared and of their size (see checkQuarterRateLock),
// per symbol; the share of the size under which the first counts as scattered (on the carrier
// 0.2..0.5 on average, a quarter of the symbol rate off 0.02..0.09), and for how many symbols
// in a row a lock must look off the carrier to be taken for false (from 6 dB under the target
// up, 360 frames on the carrier never did; off it, 0 of 400 frames heard from their middle
// were lost, 16 with the scatter alone, under 0.1 for 96 symbols).
constexpr double kGmskSquareShort = 1.0 / 32.0;
constexpr double kGmskScattered = 0.25;
constexpr int kGmskScatteredSymbols = 48;
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

/// Symbols in a block of the preamble measurement at `baud`.
int preambleBlock(double baud)
{
    return static_cast<int>(std::lround(kPreambleBlock * baud));
}

float magnitude(Complex c)
{
    return std::sqrt(c.real() * c.real() + c.imag() * c.imag());
}

} // namespace

void ChannelDemodulator::phaseSample(Complex u, std::string& out)
{
    // Wide discriminator for acquisition: mean frequency within the channel filter.
    m_wideAcc += (u * std::conj(m_prevWide) - m_wideAcc) * (1.0f / 64.0f);
    m_prevWide = u;
    // The preamble sets the frequency for GMSK, PSK63 and QPSK125 (QPSK sends reversals as BPSK
    // does). PSK250's and QPSK250's wide discriminators pull in within their preambles of 256
    // symbols (PSK250: no gain measured; QPSK250 lost no frame after noise without it, and a
    // station cell one frame with it).
    if (m_mode.modulation == Modulation::Gmsk || m_mode.baud < 200.0)
        preambleFrequency(u);

    const Complex z = m_matched->process(u);
    m_z[static_cast<std::size_t>(m_count % kRing)] = z;
    if (m_detectFilter)
        m_detected[static_cast<std::size_t>(m_count % kRing)] = m_detectFilter->process(u);
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
    const unsigned symbol = gmsk ? m_gmskSymbol++ : 0;
    const Complex detected = m_detectFilter ? m_detected[static_cast<std::size_t>(k % kRing)] : at(k);
    const std::complex<double> turned = std::complex<double>(detected) * kQuarterBack[symbol & 3];
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
        flushSoftVaricode(out);
        m_open = false;
        m_qualityAvg = 0.0;
        m_lockAvg = 0.0;
        m_preambleAgreed = false;
        m_qualityDelay.clear(); // BPSK: what the signal gave must not open it again
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
            // the Gaussian smoothing, whose sign follows the data): the tracking's lock, and
            // only the 0 bits measure the frequency. The quality is the scatter of the symbols
            // about their axis as the coherent detection sees them (the carrier reference is
            // the average of the symbols squared, see below); a steady carrier or a PSK signal,
            // whose symbols turned back by their quarter turns alternate between the axes,
            // reads below zero.
            const std::complex<double> fit = turned * turned * std::conj(m_gmskSquare);
            if (std::abs(fit) > 0.0)
                q = fit.real() / std::abs(fit) / (m_detectFilter ? kGmskHalfSineCleanFit : kGmskCleanFit);
            const Complex d2 = at(k) * std::conj(at(k - 2 * kSps));
            const float m2 = magnitude(d2);
            std::rotate(m_gmskTurns.rbegin(), m_gmskTurns.rbegin() + 1, m_gmskTurns.rend());
            m_gmskTurns[0] = 0.0;
            if (m2 > 0.0f) {
                const Complex n2 = d2 / m2;
                lock = (n2 * n2).real();
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
    const bool wasLocked = m_lockAvg >= kLocked;
    m_lockAvg += lockSpeed * m_qualityAlpha * (lock - m_lockAvg);
    if (wasLocked && m_lockAvg < kLocked)
        m_preambleAgreed = false; // lost: the next lock is judged afresh
    if (m_mode.modulation == Modulation::Bpsk) {
        // BPSK's characters leave the decoder some bits after their bits: judge the squelch on
        // the bits they came from.
        m_qualityDelay.push_back(q);
        if (m_qualityDelay.size() > static_cast<std::size_t>(m_softVaricode.latency())) {
            updateSquelch(m_qualityDelay.front());
            m_qualityDelay.pop_front();
        }
    } else
        updateSquelch(q);
    if (m_mode.modulation == Modulation::Bpsk)
        checkHalfRateLock();
    else if (gmsk)
        checkQuarterRateLock(turned * turned);

    // Frequency: acquisition from the wide discriminator while idle; fine tracking from the
    // decisions once there is a signal.
    if (m_wideHold > 0)
        --m_wideHold;
    else if (m_lockAvg < kLocked)
        m_afc += 0.04 * std::clamp(meanFrequency(), -m_mode.baud, m_mode.baud);
    if (m_lockAvg > kLocked)
        m_afc += (gmsk ? (m_open ? kGmskTracking : kGmskPullIn) : (m_open ? 0.015 : 0.12)) * error *
                 m_mode.baud / kTwoPi;
    m_afc = std::clamp(m_afc, -kCapture, kCapture);
    updateMixer();

    // Timing: jump to the strongest sample phase while idle, then early/late tracking.
    const int current = static_cast<int>(k % kSps);
    const bool retime = m_retimeIn > 0 && --m_retimeIn == 0;
    if (m_lockAvg < 0.1 || retime) {
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
        const double y = (current * std::conj(m_reference)).real();
        m_reference = current + (y > 0.0 ? kReferenceWeight : -kReferenceWeight) * m_reference;
        readVaricodeBit(locked, bitRatio(y), out);
        break;
    }
    case Modulation::Gmsk: {
        // Coherent detection: MSK is two BPSK streams on alternate symbols, each a quarter turn
        // from the last, so a symbol turned back by its quarter turns lies on one axis, on the
        // side its rail sends; a 1 bit keeps the rail's side from two symbols back, a 0 bit
        // changes it. The carrier reference is the square root of the average of those symbols
        // squared (the side drops out without a decision, so it cannot hang a quarter turn off
        // as a decision-directed reference does on the neighbours' leak into the other axis),
        // moved on by the turn per symbol the loop has found and kept on the side it was on.
        const std::complex<double> squared = turned * turned;
        m_gmskSquare *= std::polar(1.0, 2.0 * m_gmskTurn);
        std::complex<double> reference = std::sqrt(m_gmskSquare);
        if ((reference * std::conj(m_gmskCarrier)).real() < 0.0)
            reference = -reference;
        m_gmskCarrier = reference;
        // Until the tracking has locked the reference follows faster and does not move on by
        // itself (on noise the loop would wander off to its limit).
        if (m_lockAvg < kLocked) {
            m_gmskTurn = 0.0;
            m_gmskSquare += kGmskPullInWeight * (squared - m_gmskSquare);
        } else {
            m_gmskTurn =
                std::clamp(m_gmskTurn + kGmskTurnGain * std::arg(squared * std::conj(m_gmskSquare)) / 2.0,
                           -kGmskMaxTurn, kGmskMaxTurn);
            m_gmskSquare += kGmskCarrierWeight * (squared - m_gmskSquare);
        }
        // Soft value, relative to the signal level: the sign is the bit.
        const double onRail = (turned * std::conj(reference)).real() / std::max(std::norm(reference), 1e-24);
        double& sameRail = m_gmskRail[symbol & 1];
        const double soft = onRail * sameRail;
        sameRail = onRail;
        std::rotate(m_gmskBits.rbegin(), m_gmskBits.rbegin() + 1, m_gmskBits.rend());
        m_gmskBits[0] = soft > 0.0 ? 1 : 0;
        // The bit with how sure this symbol's side is (a wrong side turns this bit and the
        // one two bits later, on the same rail).
        const double ratio = bitRatio(onRail * std::abs(reference)); // in the signal's units
        // Only where its characters could be kept (see emit(); with a margin, as they come out
        // some bits later): the plan runs a dozen GMSK channels, and reading them all on noise
        // would cost more than the rest of the receiver.
        readVaricodeBit(m_open || quality() * 4 >= m_squelch || m_lockAvg >= 0.08,
                        std::copysign(std::fabs(ratio), soft), out);
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

void ChannelDemodulator::readVaricodeBit(bool reading, double ratio, std::string& out)
{
    // Not reading: the bit is taken as idle (certain), which costs the decoder nothing once it
    // has given what it held.
    std::string decoded;
    if (reading) {
        m_frameRepair.bit(static_cast<float>(ratio));
        m_softVaricode.push(static_cast<float>(ratio), decoded);
    } else {
        m_frameRepair.idleBit();
        m_softVaricode.idle(decoded);
    }
    for (char c : decoded) {
        emit(c, out);
        for (char m : m_frameRepair.character(c))
            emit(m, out);
    }
}

double ChannelDemodulator::bitRatio(double y)
{
    // The decision as a log-likelihood ratio, from its mean size and scatter.
    m_bitMean += kBitAverage * (std::fabs(y) - m_bitMean);
    m_bitPower += kBitAverage * (y * y - m_bitPower);
    const double scatter = std::max(m_bitPower - m_bitMean * m_bitMean, 0.01 * m_bitMean * m_bitMean);
    return scatter > 0.0 ? 2.0 * m_bitMean * y / scatter : 0.0;
}

void ChannelDemodulator::flushSoftVaricode(std::string& out)
{
    // The signal has ended (key-up): the characters still inside the decoder's delay came
    // while the channel was open.
    if (m_mode.modulation != Modulation::Bpsk && m_mode.modulation != Modulation::Gmsk)
        return;
    out += m_release;
    m_release.clear();
    std::string decoded;
    m_softVaricode.flush(decoded);
    for (char c : decoded) {
        out.push_back(c);
        out += m_frameRepair.character(c);
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

double ChannelDemodulator::meanFrequency() const
{
    return std::abs(m_wideAcc) > 0.0f ? std::arg(m_wideAcc) * m_outRate / kTwoPi : 0.0;
}

void ChannelDemodulator::checkHalfRateLock()
{
    // Tracking half the symbol rate off the carrier turns the phase by an extra 180 degrees per
    // symbol: the differential decisions fit the phase as well as on the carrier but all come
    // out inverted. The mean frequency of what the channel filter passes still points at the
    // signal's centre (its spectrum is symmetric), so when it keeps saying the signal lies more
    // than a quarter of the symbol rate away, move the tracking there by half the symbol rate.
    // (Nor while the preamble has just set the frequency: the average still holds where the
    // signal lay before.)
    if (m_lockAvg < kLocked || m_wideHold > 0) {
        m_wideAvg = 0.0;
        return;
    }
    m_wideAvg += (meanFrequency() - m_wideAvg) / 24.0;
    if (std::fabs(m_wideAvg) < m_mode.baud / 4.0)
        return;
    m_afc = std::clamp(m_afc + std::copysign(m_mode.baud / 2.0, m_wideAvg), -kCapture, kCapture);
    m_wideAvg = 0.0;
    updateMixer();
}

void ChannelDemodulator::checkQuarterRateLock(std::complex<double> squared)
{
    // GMSK's lock measure reads high a quarter of the symbol rate off the carrier too. The
    // preamble sets the frequency without that ambiguity, but a transmission heard from its
    // middle has none: the tracking could go there as the text began, or drift there from
    // the signal, and nothing moved it again. Two things tell that point from the carrier.
    // Each symbol, turned back by its quarter turn, lies near a quarter turn from the last
    // one's axis: squared, they turn by half a turn each and average out, where on the carrier
    // they hold still (though scattered by the Gaussian smoothing, and by noise on a weak
    // signal). And the mean frequency of what the channel filter passes points at the signal's
    // centre (its spectrum is symmetric). When both have said so for a while, on a locked
    // channel not receiving, move the tracking there by a quarter of the symbol rate and
    // acquire afresh.
    m_gmskSquareShort += kGmskSquareShort * (squared - m_gmskSquareShort);
    m_gmskSquareSize += kGmskSquareShort * (std::abs(squared) - m_gmskSquareSize);
    if (m_lockAvg < kLocked || m_wideHold > 0 || m_open) {
        m_wideAvg = 0.0;
        m_gmskScattered = 0;
        return;
    }
    m_wideAvg += (meanFrequency() - m_wideAvg) / 24.0;
    const bool off = std::abs(m_gmskSquareShort) < kGmskScattered * m_gmskSquareSize &&
                     std::fabs(m_wideAvg) > m_mode.baud / 8.0;
    m_gmskScattered = off ? m_gmskScattered + 1 : 0;
    if (m_gmskScattered < kGmskScatteredSymbols)
        return;
    m_afc = std::clamp(m_afc + std::copysign(m_mode.baud / 4.0, m_wideAvg), -kCapture, kCapture);
    updateMixer();
    m_lockAvg = 0.0;
    m_preambleAgreed = false;
    m_wideAvg = 0.0;
    m_gmskScattered = 0;
    m_phaseEnergy.fill(0.0); // the sample phase was chosen at the wrong frequency too
    m_retimeIn = kRetimeSymbols;
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
    // Before the tracking has locked a steady tone may move it too, which costs nothing; once
    // it has, only a block that looks like a preamble overrides the lock (see preambleSets).
    // Every second sample is enough (the channel filter passes less than half the rate).
    const bool gmsk = m_mode.modulation == Modulation::Gmsk;
    const bool bpsk = m_mode.modulation == Modulation::Bpsk;
    const double shortLag = gmsk ? 0.5 : 0.25; // symbols
    if (m_afc != m_lagTurnAfc) {
        // The tracking moves once a symbol: what was summed since is turned back as it was,
        // and the turns follow its small steps without a sine each time.
        foldPreambleSymbol();
        const double step = kTwoPi * (m_afc - m_lagTurnAfc) / m_outRate * (kSps / 4);
        if (std::fabs(step) < 0.2)
            setLagTurns(m_quarterTurn *
                        std::complex<double>(1.0 - step * step / 2.0, step - step * step * step / 6.0));
        else
            setLagTurns(quarterSymbolTurn());
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
    foldPreambleSymbol();
    const double two = std::abs(m_lagTwo);
    // An open BPSK or QPSK channel is receiving text, whose stretches of reversals must not
    // move it (at squelch 0 the channel is always open). Once a BPSK channel's lock has gone,
    // though, the signal it was open for has most likely ended: below a few dB SNR the level
    // hardly drops at key-up, and the channel stays open on the noise for a second or two,
    // where the next sender's preamble must set it (one 80 Hz away was otherwise still 20 Hz
    // off 0.75 s into it; PSK63 at squelch 0 lost 0.26 % of its characters a decibel above its
    // target, now 0.16 %). QPSK125's text moved it near its 2 % point when allowed to.
    const bool signalGone = bpsk && m_open && m_lockAvg < kLocked;
    const double fitNeeded = gmsk ? kGmskPreambleFit : (signalGone ? kBpskOpenPreambleFit : kBpskPreambleFit);
    if ((gmsk || !m_open || signalGone) && two > fitNeeded * m_preamblePower) {
        const double fine = std::arg(m_lagTwo) * m_mode.baud / (2.0 * kTwoPi);
        const double coarse = std::arg(m_lagShort) * m_mode.baud / (shortLag * kTwoPi);
        const double step = m_mode.baud / 2.0;
        // The candidate the mean frequency points at; but right after a block of this preamble
        // has set the tracking, the one nearest it, unless the mean frequency lies clearly
        // nearer another: the two blocks' evidence weighs the same, and at low SNR the mean
        // frequency of a single block misses by half a step now and then, where a flip put
        // the tracking half the symbol rate off (or against the capture limit) for a second.
        double candidate = fine + step * std::round((coarse - fine) / step);
        if (m_wideHold > 0) {
            const double kept = fine + step * std::round((m_afc - fine) / step);
            if (std::fabs(coarse - kept) < kPreambleKeep * step)
                candidate = kept;
        }
        const double offset = std::clamp(candidate, -kCapture, kCapture);
        if (preambleSets(offset, std::abs(m_lagShort) / two)) {
            const double moved = std::fabs(offset - m_afc);
            m_afc = offset;
            m_preambleAgreed = true;
            updateMixer();
            m_wideHold = 2 * preambleBlock(m_mode.baud);
            if (gmsk) {
                // The sample phase was chosen while the frequency was off, perhaps by a quarter
                // of the symbol rate, where the steps between the preamble's bits look strongest
                // mid-bit; GMSK's coherent detection needs them at the bits' ends: choose afresh.
                m_phaseEnergy.fill(0.0);
                m_retimeIn = kRetimeSymbols;
                // Nor may a lock average pulled below zero at a frequency this far off hold back
                // the lock at the new one (a first block the signal began inside measured 8 Hz
                // off; the average fell to -0.17 there and was still under 0.1 as the text
                // began, where the timing still jumped and dropped a symbol of the start flag).
                if (moved > m_mode.baud / 16.0)
                    m_lockAvg = std::max(m_lockAvg, 0.0);
            }
        }
    }
    restartPreambleBlock();
}

bool ChannelDemodulator::preambleSets(double offset, double shortToTwo)
{
    if (m_lockAvg < kLocked)
        return true;
    // Locked already. The lock measures repeat every few Hz (BPSK's every half the symbol
    // rate, QPSK's and GMSK's every quarter), and noise alone lifts their average now and then:
    // a signal arriving with the tracking on such a point reads "locked" at once, and the
    // frame went. The preamble knows the frequency without that ambiguity, so it overrides a
    // lock no preamble block has agreed with yet, on a channel not receiving. Once one has
    // (the frame's own preamble), the text's stretches of reversals and GMSK's postamble, a
    // steady tone a quarter of the symbol rate off, leave it alone; the text's blocks are also
    // known by the product a short lag back, which holds as much as the two-symbol one or
    // more (the preamble's alternation keeps 0.7..0.9 of it, up to 1.05 in noise).
    const bool agrees = std::fabs(offset - m_afc) <= m_mode.baud / 8.0;
    if (agrees)
        m_preambleAgreed = true;
    return !agrees && !m_preambleAgreed && !m_open && shortToTwo < kPreambleShortToTwo;
}

void ChannelDemodulator::restartPreambleBlock()
{
    m_symbolShort = m_symbolTwo = {};
    m_lagShort = m_lagTwo = {};
    m_preamblePower = 0.0;
    m_blockLeft = preambleBlock(m_mode.baud) * kSps;
    // The turns afresh (their small steps gather rounding errors).
    m_lagTurnAfc = m_afc;
    setLagTurns(quarterSymbolTurn());
}

void ChannelDemodulator::foldPreambleSymbol()
{
    // What was summed since the tracking last moved, turned back as it was then.
    m_lagShort += std::complex<double>(m_symbolShort) * m_lagTurn[0];
    m_lagTwo += std::complex<double>(m_symbolTwo) * m_lagTurn[1];
    m_symbolShort = m_symbolTwo = {};
}

std::complex<double> ChannelDemodulator::quarterSymbolTurn() const
{
    return std::polar(1.0, kTwoPi * m_afc / m_outRate * (kSps / 4));
}

void ChannelDemodulator::setLagTurns(std::complex<double> quarter)
{
    m_quarterTurn = quarter;
    const auto half = quarter * quarter;
    const auto one = half * half;
    m_lagTurn = {m_mode.modulation == Modulation::Gmsk ? half : quarter, one * one};
}

} // namespace hf::modem
