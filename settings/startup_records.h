#pragma once
#include "settings/record_file.h"
#include "settings/stored_choice.h"

#include <QByteArray>

#include <array>
#include <optional>
#include <span>

namespace settings {

/// Record numbers of the start-up page's record file (skylark_config1.txt). The numbers are
/// the file format: never renumber. Records 26 to 41 were unused; 26 now holds the 38.4 kb
/// KISS TNC choice, which had no record.
enum class StartupRecord : int {
    NoTnc = 1,
    Reserved2 = 2, ///< written "0", ignored on reading
    TextTnc4800 = 3,
    TextTnc9600 = 4,
    TextTnc19200 = 5,
    Psk700 = 6,
    Psk1300 = 7,
    Psk1400 = 8,
    Psk1500 = 9,
    Psk1600 = 10,
    Psk1800 = 11,
    Psk2100 = 12,
    IconCar = 13,
    IconVan = 14,
    IconJeep = 15,
    IconRv = 16,
    IconTruck = 17,
    IconCamp = 18,
    IconAmbulance = 19,
    IconBus = 20,
    IconShip = 21,
    IconYacht = 22,
    IconLargeTruck = 23,
    IconHfStation = 24,
    KissTnc9600 = 25,
    KissTnc38400 = 26,
    PttPortNone = 42,
    PttPort1 = 43,     ///< 43..50: HF PTT port 1..8
    TxSoundCard0 = 51, ///< 51..62: one-hot transmit sound card setting 0..11
    TxSoundCard11 = 62,
    Beacon2Min = 63,
    Beacon5Min = 64,
    Beacon10Min = 65,
    Beacon20Min = 66,
    Beacon30Min = 67,
    Beacon60Min = 68,
    Psk2000 = 69,
    Psk2400 = 70,
    Psk2400Alias = 71, ///< never written; a "1" here also chooses 2400 Hz
    RaynetEnabled = 72,
    RaynetDisabled = 73,
    PskCustom = 74,
    PttRts = 75,
    PttDtr = 76,
    PttBoth = 77, ///< "TD"
    Reserved78 = 78,
    Reserved79 = 79,
    SampleSpeed = 80,   ///< "1" 11025 Hz, "2" 48000 Hz, "0" no digi modes
    RxSoundCard = 82,   ///< one digit 0..8
    InputChannel = 83,  ///< "0" mono, "1" left, "2" right
    SameSoundCard = 84, ///< "1" set, "0" clear
};

/// The option groups of the start-up page whose options each have a record.
enum class StartupGroup {
    TncType,      ///< value: TNC type code 0..5 (see station::StationState::tncTypeCode)
    PskFrequency, ///< value: Hz; 0 = the custom frequency typed beside the blank option
    GpsIcon,      ///< value: index into gpsIcons()
    PttPort,      ///< value: HF PTT port 0..8, 0 = none
    BeaconRate,   ///< value: beacon rate code 0..5
    Raynet,       ///< value: 1 enabled, 0 disabled
    PttLine,      ///< value: a PttLine
};
inline constexpr int StartupGroupCount = 7;

/// The HF PTT line choices.
enum class PttLine { Rts = 0, Dtr = 1, Both = 2 };

/// One option that has a record: the record, its group, the value it stands for.
struct StartupOptionRecord {
    StartupRecord record;
    StartupGroup group;
    int value;
};

/// Every option record of the start-up page, in record order.
std::span<const StartupOptionRecord> startupOptionRecords();

/// The GPS beacon icons in record order: caption, APRS symbol table and symbol characters.
struct GpsIcon {
    const char* caption;
    char table;
    char symbol;
};
std::span<const GpsIcon> gpsIcons();

/// The start-up page's choices as config1 holds them.
struct StartupOptions {
    std::array<StoredChoice, StartupGroupCount> groups;
    std::optional<int> txSoundCard;  ///< 0..11, when a one-hot record holds "1"
    int rxSoundCard = 0;             ///< record 82 read as an integer (empty: 0)
    std::optional<int> sampleSpeed;  ///< 0..2
    std::optional<int> inputChannel; ///< 0..2; empty record: not stored
    std::optional<bool> sameSoundCard;

    StoredChoice& group(StartupGroup g) { return groups[static_cast<size_t>(g)]; }
    const StoredChoice& group(StartupGroup g) const { return groups[static_cast<size_t>(g)]; }
    bool operator==(const StartupOptions&) const = default;
};

/// Decodes config1 in the reading order (records 1 to 26, 42 to 80, 82 to 84).
StartupOptions readStartupOptions(const RecordFile& config1);

/// What the start-up page shows when it closes, to be written.
struct StartupSelection {
    std::array<int, StartupGroupCount> groups{-1, -1, -1, -1, -1, -1, -1}; ///< -1: none shown
    int txSoundCard = 0;
    int rxSoundCard = 0;
    int sampleSpeed = 2;
    int inputChannel = 0;
    bool sameSoundCard = false;

    int& group(StartupGroup g) { return groups[static_cast<size_t>(g)]; }
    int group(StartupGroup g) const { return groups[static_cast<size_t>(g)]; }
};

/// Writes the selection into `config1` (records not written keep their bytes; record 82 is
/// written only for receive settings 0..8, so a higher one leaves it as it was).
void writeStartupOptions(const StartupSelection& selection, RecordFile& config1);

} // namespace settings
