#pragma once
#include "records/raynet_sheet.h"
#include "station/station_links.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>

#include <functional>
#include <optional>

namespace station {
struct StationState;
}

namespace records {

/// `logReceivedMessage`, the one receive-log procedure every receive path and the APRS-IS send call:
/// flashing of the messages box, the record in "skylark_receive.log", the record for the local
/// port 8064 and, as the last step, the row of the RAYNET sheet.
class ReceiveLog : public QObject, public station::ReceiveLogger {
    Q_OBJECT
public:
    ReceiveLog(station::StationState& state, station::StationLinks& links, QObject* parent = nullptr);

    /// Time source of the records' first field (converted to UTC).
    void setClock(std::function<QDateTime()> now) { m_now = std::move(now); }

    /// Logs one entry: `logCallsign` is the station the entry is about, `logText` the packet
    /// or message text. Entries about this station itself (its HF or TNC callsign appears in
    /// `logCallsign`) do not flash the messages box. The RAYNET row is written while the RAYNET
    /// sheet is enabled.
    void logReceivedMessage(const QByteArray& logCallsign, const QByteArray& logText) override;

    /// The RAYNET sheet, opened at the first entry (the start row is set when the start-up
    /// page closes, after this part is created).
    RaynetSheet& sheet();

signals:
    void startFlashing(); ///< start `messageFlashTimer`
    void stopFlashing();  ///< stop `messageFlashTimer`

private:
    station::StationState& m_state;
    station::StationLinks& m_links;
    std::optional<RaynetSheet> m_sheet;
    std::function<QDateTime()> m_now = [] { return QDateTime::currentDateTimeUtc(); };
};

} // namespace records
