#include "records/receive_log.h"

#include "records/log_file.h"
#include "records/log_record.h"
#include "station/station_state.h"

namespace records {

ReceiveLog::ReceiveLog(station::StationState& state, station::StationLinks& links, QObject* parent)
    : QObject(parent), m_state(state), m_links(links)
{
}

RaynetSheet& ReceiveLog::sheet()
{
    if (!m_sheet)
        m_sheet.emplace(RaynetSheet::pathIn(m_state.stationDir), m_state.raynetRow + 1);
    return *m_sheet;
}

void ReceiveLog::logReceivedMessage(const QByteArray& logCallsign, const QByteArray& logText)
{
    const bool aboutUs = (!m_state.hfCall.isEmpty() && logCallsign.contains(m_state.hfCall)) ||
                         (!m_state.myCall.isEmpty() && logCallsign.contains(m_state.myCall));
    if (aboutUs)
        emit stopFlashing();
    else if (!m_state.transmitBusy)
        emit startFlashing();

    const QByteArray stamp = logTimeStamp(m_now());
    LogFile::receiveLog(m_state.stationDir).append({stamp, logCallsign, logText});
    if (m_links.local)
        m_links.local->sendReceiveRecord(networkRecord(stamp, logCallsign, logText));
    if (m_state.raynetEnabled)
        sheet().writeEntry(stamp, logCallsign, logText, m_state.myCall);
}

} // namespace records
