#pragma once
#include "settings/record_file.h"
#include "settings/stored_choice.h"

#include "station/station_state.h"

#include <array>
#include <optional>
#include <span>

namespace settings {

/// Record numbers of the main window's record file (skylark_config2.txt). The numbers are the
/// file format: never renumber. Records 22 to 24 hold the transmit options that had no record.
enum class MainRecord : int {
    AckNormal = 1,
    AckNone = 2,
    AprsIsConnected = 3, ///< the APRS-IS link was up at close: connect again at start
    TxPsk63 = 4,
    TxTnc = 5,
    TxAprsIs = 6,
    TxGmsk63 = 7,
    TxAx25Mfsk = 8,
    TxGmsk250 = 9,
    IgateTransmit = 10, ///< HF transmission allowed (remote control)
    TxAx25Psk63 = 11,
    TxAx25Gmsk = 12,
    HfDigipeat = 13,
    DigipeatMe = 14,
    PriorityTx = 15,
    InternetToHf = 16,
    LsbTxMode = 17,
    DisplayCrc = 18,
    TxPsk250 = 19,
    TxMfsk16 = 20,
    KissTcpActive = 21, ///< the KISS-over-TCP link was active at close: connect again
    TxQpsk125 = 22,
    TxQpsk250 = 23,
    TxAx25 = 24,
};
inline constexpr int MainRecordCount = 24;

/// The check boxes of the main window that have a record, in record order.
enum class MainCheck { HfDigipeat, DigipeatMe, PriorityTx, InternetToHf, LsbTxMode, DisplayCrc };
inline constexpr int MainCheckCount = 6;

/// The record of each transmit option.
struct TransmitRecord {
    MainRecord record;
    station::TransmitMode mode;
};
std::span<const TransmitRecord> transmitRecords();

/// The record of each stored check box.
struct CheckRecord {
    MainRecord record;
    MainCheck check;
};
std::span<const CheckRecord> checkRecords();

/// The main window's choices as config2 holds them.
struct MainOptions {
    StoredChoice acks; ///< value 1 "Normal", 0 "No ACKs"
    /// The transmit option last chosen. A later "0" never clears it: the window always
    /// shows the option the transmitter uses.
    std::optional<station::TransmitMode> transmitMode;
    std::array<std::optional<bool>, MainCheckCount> checks;
    bool reconnectAprsIs = false;
    std::optional<bool> igateTransmit;
    bool reconnectKissTcp = false;

    std::optional<bool> check(MainCheck c) const { return checks[static_cast<size_t>(c)]; }
    bool operator==(const MainOptions&) const = default;
};

/// Decodes config2 in record order.
MainOptions readMainOptions(const RecordFile& config2);

/// What the main window shows and which links are up when it closes.
struct MainSelection {
    bool acksNormal = true;
    bool acksNone = false;
    std::optional<station::TransmitMode> transmitMode; ///< none shown: every record "0"
    std::array<bool, MainCheckCount> checks{};
    bool aprsIsConnected = false;
    bool igateTransmit = true;
    bool kissTcpActive = false;

    bool& check(MainCheck c) { return checks[static_cast<size_t>(c)]; }
};

/// Encodes every record 1 to MainRecordCount.
RecordFile writeMainOptions(const MainSelection& selection);

} // namespace settings
