#include "settings/startup_records.h"

namespace settings {

namespace {
using R = StartupRecord;
using G = StartupGroup;

constexpr int record(R r)
{
    return static_cast<int>(r);
}

constexpr std::array<StartupOptionRecord, 48> OptionRecords{{
    {R::NoTnc, G::TncType, 1},
    {R::TextTnc4800, G::TncType, 0},
    {R::TextTnc9600, G::TncType, 2},
    {R::TextTnc19200, G::TncType, 3},
    {R::Psk700, G::PskFrequency, 700},
    {R::Psk1300, G::PskFrequency, 1300},
    {R::Psk1400, G::PskFrequency, 1400},
    {R::Psk1500, G::PskFrequency, 1500},
    {R::Psk1600, G::PskFrequency, 1600},
    {R::Psk1800, G::PskFrequency, 1800},
    {R::Psk2100, G::PskFrequency, 2100},
    {R::IconCar, G::GpsIcon, 0},
    {R::IconVan, G::GpsIcon, 1},
    {R::IconJeep, G::GpsIcon, 2},
    {R::IconRv, G::GpsIcon, 3},
    {R::IconTruck, G::GpsIcon, 4},
    {R::IconCamp, G::GpsIcon, 5},
    {R::IconAmbulance, G::GpsIcon, 6},
    {R::IconBus, G::GpsIcon, 7},
    {R::IconShip, G::GpsIcon, 8},
    {R::IconYacht, G::GpsIcon, 9},
    {R::IconLargeTruck, G::GpsIcon, 10},
    {R::IconHfStation, G::GpsIcon, 11},
    {R::KissTnc9600, G::TncType, 4},
    {R::KissTnc38400, G::TncType, 5},
    {R::PttPortNone, G::PttPort, 0},
    {StartupRecord(43), G::PttPort, 1},
    {StartupRecord(44), G::PttPort, 2},
    {StartupRecord(45), G::PttPort, 3},
    {StartupRecord(46), G::PttPort, 4},
    {StartupRecord(47), G::PttPort, 5},
    {StartupRecord(48), G::PttPort, 6},
    {StartupRecord(49), G::PttPort, 7},
    {StartupRecord(50), G::PttPort, 8},
    {R::Beacon2Min, G::BeaconRate, 4},
    {R::Beacon5Min, G::BeaconRate, 5},
    {R::Beacon10Min, G::BeaconRate, 0},
    {R::Beacon20Min, G::BeaconRate, 1},
    {R::Beacon30Min, G::BeaconRate, 2},
    {R::Beacon60Min, G::BeaconRate, 3},
    {R::Psk2000, G::PskFrequency, 2000},
    {R::Psk2400, G::PskFrequency, 2400},
    {R::RaynetEnabled, G::Raynet, 1},
    {R::RaynetDisabled, G::Raynet, 0},
    {R::PskCustom, G::PskFrequency, 0},
    {R::PttRts, G::PttLine, static_cast<int>(PttLine::Rts)},
    {R::PttDtr, G::PttLine, static_cast<int>(PttLine::Dtr)},
    {R::PttBoth, G::PttLine, static_cast<int>(PttLine::Both)},
}};

constexpr std::array<GpsIcon, 12> Icons{{
    {"Car", '/', '>'},
    {"Van", '/', 'v'},
    {"Jeep", '/', 'j'},
    {"RV", '/', 'R'},
    {"Truck", '/', 'k'},
    {"Camp", '/', ';'},
    {"Ambulance", '/', 'a'},
    {"Bus", '/', 'U'},
    {"Ship", '/', 's'},
    {"Yacht", '/', 'Y'},
    {"Large  truck", '/', 'u'},
    {"HF station", '\\', '-'},
}};

const StartupOptionRecord* optionRecord(int n)
{
    for (const StartupOptionRecord& o : OptionRecords)
        if (record(o.record) == n)
            return &o;
    return nullptr;
}

QByteArray flag(bool on)
{
    return on ? QByteArrayLiteral("1") : QByteArrayLiteral("0");
}

void readRecord(StartupOptions& o, int n, const QByteArray& text)
{
    if (const StartupOptionRecord* r = optionRecord(n)) {
        o.group(r->group).read(text, r->value);
        return;
    }
    const bool one = RecordFile::holdsOne(text);
    if (n >= record(R::TxSoundCard0) && n <= record(R::TxSoundCard11)) {
        if (one)
            o.txSoundCard = n - record(R::TxSoundCard0);
    } else if (n == record(R::Psk2400Alias)) {
        if (one)
            o.group(G::PskFrequency).read("1", 2400);
    } else if (n == record(R::SampleSpeed)) {
        for (const char digit : {'2', '1', '0'})
            if (text.contains(digit))
                o.sampleSpeed = digit - '0';
    } else if (n == record(R::RxSoundCard)) {
        o.rxSoundCard = text.trimmed().toInt();
    } else if (n == record(R::InputChannel)) {
        if (!text.isEmpty())
            o.inputChannel = text.contains('0') ? 0 : text.contains('1') ? 1 : 2;
    } else if (n == record(R::SameSoundCard)) {
        readFlag(text, o.sameSoundCard);
    }
}
} // namespace

std::span<const StartupOptionRecord> startupOptionRecords()
{
    return OptionRecords;
}

std::span<const GpsIcon> gpsIcons()
{
    return Icons;
}

StartupOptions readStartupOptions(const RecordFile& config1)
{
    StartupOptions o;
    for (const auto& [first, last] :
         {std::pair{1, record(R::KissTnc38400)}, std::pair{record(R::PttPortNone), record(R::SampleSpeed)},
          std::pair{record(R::RxSoundCard), record(R::SameSoundCard)}})
        for (int n = first; n <= last; ++n)
            readRecord(o, n, config1.record(n));
    return o;
}

void writeStartupOptions(const StartupSelection& s, RecordFile& config1)
{
    for (const StartupOptionRecord& o : OptionRecords)
        config1.setRecord(record(o.record), flag(s.group(o.group) == o.value));
    config1.setRecord(record(R::Reserved2), "0");
    for (int k = 0; k <= record(R::TxSoundCard11) - record(R::TxSoundCard0); ++k)
        config1.setRecord(record(R::TxSoundCard0) + k, flag(s.txSoundCard == k));
    config1.setRecord(record(R::Reserved78), "0");
    config1.setRecord(record(R::Reserved79), "0");
    config1.setRecord(record(R::SampleSpeed), QByteArray::number(s.sampleSpeed));
    if (s.rxSoundCard >= 0 && s.rxSoundCard <= 8)
        config1.setRecord(record(R::RxSoundCard), QByteArray::number(s.rxSoundCard));
    config1.setRecord(record(R::InputChannel), QByteArray::number(s.inputChannel));
    config1.setRecord(record(R::SameSoundCard), flag(s.sameSoundCard));
}

} // namespace settings
