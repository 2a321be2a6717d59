#pragma once

#include "hf/modem/dsp_types.h"
#include "hf/modem/fir.h"
#include "hf/modem/frame_repair.h"
#include "hf/modem/mfsk_code_fit.h"
#include "hf/modem/mfsk_interleaver.h"
#include "hf/modem/mode.h"
#include "hf/modem/resampler.h"
#include "hf/modem/soft_varicode_decoder.h"
#include "hf/modem/varicode.h"
#include "hf/modem/viterbi.h"

#include <array>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace hf::modem {

/// One receive channel working on the front end's complex output (see FrontEnd).
///
/// Squelch scale: the channel measures a signal quality 0..2500 from how well its symbols fit
/// the mode (BPSK: phase scatter of the differential decisions; GMSK: scatter of its symbols
/// about the axis of the coherent detection; QPSK and MFSK16: how well what the decoder is
/// given fits the code), averaged over about half a second at 250 Bd and two seconds at
/// 15.625 Bd. The same scale for every mode: a clean signal reads 2300..2500; white noise alone
/// averages under 100 and stays under 500 over 20 minutes; a signal at the mode's 2 %
/// character-error point reads about 1500..1750 (GMSK about 1870). The channel receives (state 1)
/// while the quality is at or above the squelch value and stops when it falls below three
/// quarters of it; characters are only delivered while it receives. Squelch 0 keeps the
/// channel open.
///
/// BPSK and GMSK channels follow a station frame that fails its check with CR LF and the frame
/// read again, when a reading with one symbol turned holds the check (see FrameRepair).
class ChannelDemodulator {
public:
    /// `workRate`: the front end's output rate in Hz; `carrier`: audio frequency in Hz of the
    /// signal centre (PSK carrier, MFSK tone-set centre). Throws std::invalid_argument on values
    /// out of range.
    ChannelDemodulator(double workRate, double workCentre, ModeConfig mode, double carrier);

    /// Changing the mode or rate restarts the channel; setting the same mode again does nothing.
    void setMode(const ModeConfig& mode);
    /// Re-tunes; the frequency tracking restarts from the new carrier (no-op if unchanged).
    void setCarrier(double hz);
    void setSquelch(int level) { m_squelch = level < 0 ? 0 : level; }

    /// Feeds working-rate samples; appends decoded characters to `out`.
    void process(const Complex* samples, std::size_t count, std::string& out);
    void reset();

    int state() const { return m_open ? 1 : 0; }
    int quality() const;
    /// Current frequency correction of the tracking, Hz (within +-55).
    double frequencyOffset() const { return m_afc; }
    const ModeConfig& mode() const { return m_mode; }
    double carrier() const { return m_carrier; }
    int squelch() const { return m_squelch; }

private:
    void configure();
    void updateMixer();
    void phaseSample(Complex u, std::string& out);
    void phaseSymbol(std::string& out);
    void mfskSample(Complex u, std::string& out);
    void mfskSymbol(std::string& out);
    void mfskSquelch(bool repeated);
    // The mean frequency of the channel's input relative to the tracking (Hz), from the wide
    // discriminator.
    double meanFrequency() const;
    void checkHalfRateLock();
    void checkQuarterRateLock(std::complex<double> squared);
    void preambleFrequency(Complex u);
    void restartPreambleBlock();
    // Whether a preamble block measuring `offset` (Hz, with its short-lag product `shortToTwo`
    // times its two-symbol one) sets the tracking.
    bool preambleSets(double offset, double shortToTwo);
    void setLagTurns(std::complex<double> quarter); // from the turn over a quarter symbol
    void foldPreambleSymbol(); // adds what was summed since the tracking last moved to the block's sums
    std::complex<double> quarterSymbolTurn() const; // the correction's turn over a quarter symbol
    std::array<float, 4> qpskScores(Complex r) const;
    double qpskCodeFit(Complex n);
    void updateSquelch(double q);
    void emit(char c, std::string& out);

    static constexpr double kCapture = 55.0; // Hz either side of the carrier the tracking may move

    double m_workRate;
    double m_workCentre;
    ModeConfig m_mode;
    double m_carrier;
    int m_squelch = 0;

    Nco m_mixer;
    std::unique_ptr<Resampler> m_resampler;
    std::vector<Complex> m_scratch;
    double m_afc = 0.0;
    double m_outRate = 0.0;
    double m_qualityAvg = 0.0;
    double m_qualityAlpha = 0.05; // the tracking's lock average
    double m_squelchAlpha = 0.05; // the quality average
    double m_lockAvg = 0.0;       // how well the tracking has locked (0..1)
    // BPSK and GMSK: mean frequency of the channel's input relative to the tracking, Hz,
    // averaged over a few dozen symbols (false lock half or a quarter of the symbol rate off).
    double m_wideAvg = 0.0;
    bool m_open = false;
    bool m_betterElsewhere = false; // MFSK16: another tone set of the search fits the code better
    // Characters decoded while closed, with the symbol count when they came (released when
    // the channel opens within a second of them).
    static constexpr std::size_t kMaxHeld = 128;
    std::deque<std::pair<char, long long>> m_held;
    std::string m_release;
    long long m_symbols = 0;
    long long m_openedAt = 0; // m_symbols when the channel last opened

    // Phase modes (BPSK, QPSK, GMSK): 8 samples per symbol after the resampler.
    static constexpr int kSps = 8;
    static constexpr int kRing = 64;
    std::unique_ptr<ComplexFir> m_matched;
    std::unique_ptr<ComplexFir> m_detectFilter; // GMSK250: the decisions' own filter ...
    std::array<Complex, kRing> m_detected{};    // ... and its output, alongside m_z
    std::array<Complex, kRing> m_z{};
    std::array<double, kSps> m_phaseEnergy{};
    long long m_count = 0;
    long long m_nextDecision = kSps * 3;
    Complex m_prevWide{};
    Complex m_wideAcc{};
    double m_magAvg = 1e-6;
    double m_fastMag = 0.0;
    Complex m_reference{}; // BPSK: phase reference for the next decision
    // GMSK coherent detection: the average of the symbols squared once each is turned back by
    // its quarter turn (m_gmskSymbol counts them), the carrier reference last taken from it,
    // the turn per symbol they follow, and the last two symbols' values on their rail.
    std::complex<double> m_gmskSquare{};
    std::complex<double> m_gmskCarrier{};
    // A short average of the symbols squared, and of their size: the first holds little of the
    // second off the carrier (see checkQuarterRateLock).
    std::complex<double> m_gmskSquareShort{};
    double m_gmskSquareSize = 0.0;
    int m_gmskScattered = 0; // symbols in a row the lock has looked off the carrier
    double m_gmskTurn = 0.0;
    unsigned m_gmskSymbol = 0;
    std::array<double, 2> m_gmskRail{};
    std::array<double, 3> m_gmskTurns{}; // GMSK: two-bit turns of the last symbols, newest first
    std::array<int, 3> m_gmskBits{};     // ... and the last decisions, newest first
    // GMSK and BPSK preamble: every second sample of the last two symbols of the channel's
    // input; sums over a block of symbols of its products with itself a short lag (half a
    // symbol for GMSK, a quarter for BPSK) and two symbols back,
    // turned back by what the tracking's correction (m_lagTurnAfc) turns them over those lags
    // (m_lagTurn), as they come since the correction last moved (m_symbol...) and in all.
    std::array<Complex, kSps> m_preambleRecent{};
    Complex m_symbolShort{};
    Complex m_symbolTwo{};
    std::complex<double> m_lagShort{};
    std::complex<double> m_lagTwo{};
    double m_preamblePower = 0.0;
    int m_blockLeft = 0; // samples to the end of the block
    double m_lagTurnAfc = 0.0;
    std::array<std::complex<double>, 2> m_lagTurn{1.0, 1.0};
    std::complex<double> m_quarterTurn{1.0}; // the same over a quarter symbol
    bool m_preambleAgreed = false;           // a preamble block has set or agreed with the present lock
    int m_wideHold = 0; // symbols left in which the wide discriminator leaves the tracking alone
    // GMSK: symbols left until the sample phase is chosen again from the timing energies (after
    // the preamble has set the frequency).
    static constexpr int kRetimeSymbols = 16;
    int m_retimeIn = 0;
    PskVaricodeDecoder m_pskVaricode;
    // BPSK and GMSK: varicode read from soft bits, and the mean and mean square of the
    // decisions that scale them into log-likelihood ratios.
    SoftVaricodeDecoder m_softVaricode;
    FrameRepair m_frameRepair{1, SoftVaricodeDecoder::kDefaultDelay}; // reads a failed frame again
    double m_bitMean = 0.0;
    double m_bitPower = 0.0;
    double bitRatio(double decision); // the decision's log-likelihood ratio (positive: a 1 bit)
    // Feeds one bit to the decoder (as a certain idle bit unless `reading`), emits what it gives
    // and a failed frame mended.
    void readVaricodeBit(bool reading, double ratio, std::string& out);
    void flushSoftVaricode(std::string& out); // delivers what it still holds (at key-up)
    std::unique_ptr<ViterbiDecoder> m_qpskViterbi;
    std::unique_ptr<ViterbiDecoder> m_qpskFitViterbi; // the quality's: every symbol weighs the same

    // MFSK16: 32 samples per symbol, 48 sliding DFT bins every half bin from -11 to 12.5 around
    // the tone set (entry i at -11 + i/2 bins; the tone set's lowest tone at entry 8, bin -7).
    static constexpr int kMfskN = 32;
    static constexpr int kMfskGrid = 48;
    static constexpr int kMfskLow = -11;
    static constexpr int kMfskToneSet = 8;
    using MfskEnergies = std::array<double, kMfskGrid>;
    void mfskDecode(const MfskEnergies& energies, std::string& out);
    void mfskRedecode(std::string& out);
    void restartMfskDecoding(); // deinterleaver, decoders, pairing
    double mfskPathFit() const; // the quality of the last symbol's bits, 0..1 (noise 0)
    std::array<Complex, kMfskN> m_window{};
    std::array<std::complex<double>, kMfskGrid> m_bins{};
    std::array<std::complex<double>, kMfskGrid> m_binStep{};
    std::array<double, kMfskN> m_offsetEnergy{};
    // Frequency search: the tone sets every half bin up to 4 bins either side of the present
    // one (entry q + kMfskSearch at q half bins), each with its own code fit.
    static constexpr int kMfskSearch = 8;
    static constexpr int kMfskShifts = 2 * kMfskSearch + 1;
    std::array<MfskCodeFit, kMfskShifts> m_shiftFit;
    void moveSearch(int shift); // after a move by `shift` half bins
    // Each entry's energy against the noise, averaged over about 48 symbols since the last move.
    static constexpr double kMfskHistoryWeight = 1.0 / 48.0;
    static constexpr int kMfskHistoryWarmUp = 24;
    void mfskEnergyHistory(const MfskEnergies& energies, double noise);
    int mfskEnergyShift() const; // the move the tone energies ask for, half bins (0: none)
    std::array<double, kMfskGrid> m_entryHistory{};
    int m_historyAge = 0;
    static constexpr int kMfskEnergyWait = 32;
    int m_hoppingFor = 0; // symbols since the tones began to hop like MFSK's
    std::array<int, 2> m_lastTones{-1, -1};
    // Viterbi delay in data bits: 20 bits (10 symbols, 0.64 s) keeps the latency near the
    // interleaver's own; 45 would gain about 0.2 dB for another 0.8 s.
    static constexpr int kMfskViterbiDepth = 20;
    static constexpr std::size_t kMfskDecodeDelay = 40; // interleaver 30 + decoder 10 symbols
    std::deque<double> m_qualityDelay; // the squelch's view, delayed to the characters (MFSK16, BPSK)
    std::deque<double> m_toneFitDelay; // the tracking's, delayed likewise
    bool m_replaying = false;
    static constexpr int kMfskSettle = 16; // symbols from a frequency move to the replay
    int m_replayIn = 0;
    static constexpr int kMfskConfirm = 48; // symbols a move by the energies waits for the code fit
    bool m_awaitingFit = false;
    bool m_movedFromNoise = false; // the tone set left did not fit the code better than the others
    double m_toneOffset = 0.0;     // the strongest tone's distance from its bin (bins), averaged
    static constexpr double kMfskReplayOffset = 0.25; // ... under which the replay goes ahead
    int m_replayWait = 0;                             // symbols the replay has waited for the fine tracking
    double m_mfskPathGain = 0.0;                      // the chosen decoder's gain over this symbol's bits
    int m_mfskPathSteps = 0;
    static constexpr std::size_t kMfskReplay = 256; // symbols decoded again after a frequency move
    struct KeptSymbol {
        MfskEnergies energies;
        double afc; // the tracking's frequency correction when they were taken
    };
    std::deque<KeptSymbol> m_mfskRecent;
    double m_mfskFit = 0.0; // how well the tones fit MFSK now (undelayed), for the tracking
    int m_sinceRefresh = 0;
    MfskInterleaver<float> m_deinterleaver{false};
    std::array<std::unique_ptr<ViterbiDecoder>, 2> m_mfskViterbi;
    std::array<MfskVaricodeDecoder, 2> m_mfskVaricode;
    std::array<double, 2> m_mfskGain{};
    std::array<float, 2> m_pendingSoft{};
    long long m_codedCount = 0;
    int m_mfskChoice = 0;
};

} // namespace hf::modem
