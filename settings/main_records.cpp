#include "settings/main_records.h"

namespace settings {

namespace {
using R = MainRecord;
using M = station::TransmitMode;

constexpr int record(R r)
{
    return static_cast<int>(r);
}

constexpr std::array<TransmitRecord, 13> Transmit{{
    {R::TxPsk63, M::Psk63},
    {R::TxTnc, M::Tnc},
    {R::TxAprsIs, M::AprsIs},
    {R::TxGmsk63, M::Gmsk63},
    {R::TxAx25Mfsk, M::Ax25Mfsk},
    {R::TxGmsk250, M::Gmsk250},
    {R::TxAx25Psk63, M::Ax25Psk63},
    {R::TxAx25Gmsk, M::Ax25Gmsk},
    {R::TxPsk250, M::Psk250},
    {R::TxMfsk16, M::Mfsk16},
    {R::TxQpsk125, M::Qpsk125},
    {R::TxQpsk250, M::Qpsk250},
    {R::TxAx25, M::Ax25},
}};

constexpr std::array<CheckRecord, MainCheckCount> Checks{{
    {R::HfDigipeat, MainCheck::HfDigipeat},
    {R::DigipeatMe, MainCheck::DigipeatMe},
    {R::PriorityTx, MainCheck::PriorityTx},
    {R::InternetToHf, MainCheck::InternetToHf},
    {R::LsbTxMode, MainCheck::LsbTxMode},
    {R::DisplayCrc, MainCheck::DisplayCrc},
}};

QByteArray flag(bool on)
{
    return on ? QByteArrayLiteral("1") : QByteArrayLiteral("0");
}

void readRecord(MainOptions& o, int n, const QByteArray& text)
{
    const bool one = RecordFile::holdsOne(text);
    for (const TransmitRecord& t : Transmit)
        if (record(t.record) == n) {
            if (one)
                o.transmitMode = t.mode;
            return;
        }
    for (const CheckRecord& c : Checks)
        if (record(c.record) == n) {
            readFlag(text, o.checks[static_cast<size_t>(c.check)]);
            return;
        }
    switch (static_cast<R>(n)) {
    case R::AckNormal:
        o.acks.read(text, 1);
        break;
    case R::AckNone:
        o.acks.read(text, 0);
        break;
    case R::AprsIsConnected:
        o.reconnectAprsIs = one;
        break;
    case R::IgateTransmit:
        readFlag(text, o.igateTransmit);
        break;
    case R::KissTcpActive:
        o.reconnectKissTcp = one;
        break;
    default:
        break;
    }
}
} // namespace

std::span<const TransmitRecord> transmitRecords()
{
    return Transmit;
}

std::span<const CheckRecord> checkRecords()
{
    return Checks;
}

MainOptions readMainOptions(const RecordFile& config2)
{
    MainOptions o;
    for (int n = 1; n <= MainRecordCount; ++n)
        readRecord(o, n, config2.record(n));
    return o;
}

RecordFile writeMainOptions(const MainSelection& s)
{
    RecordFile f;
    f.setRecord(record(R::AckNormal), flag(s.acksNormal));
    f.setRecord(record(R::AckNone), flag(s.acksNone));
    f.setRecord(record(R::AprsIsConnected), flag(s.aprsIsConnected));
    for (const TransmitRecord& t : Transmit)
        f.setRecord(record(t.record), flag(s.transmitMode == t.mode));
    f.setRecord(record(R::IgateTransmit), flag(s.igateTransmit));
    for (const CheckRecord& c : Checks)
        f.setRecord(record(c.record), flag(s.checks[static_cast<size_t>(c.check)]));
    f.setRecord(record(R::KissTcpActive), flag(s.kissTcpActive));
    return f;
}

} // namespace settings
