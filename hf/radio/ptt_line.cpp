#include "hf/radio/ptt_line.h"

namespace hf::radio {

PttLine::~PttLine()
{
    set(false);
    m_port.close();
}

void PttLine::configure(const QString& device, bool rts, bool dtr)
{
    if (device == m_device && rts == m_rts && dtr == m_dtr)
        return;
    set(false);
    m_port.close();
    m_device = device;
    m_rts = rts;
    m_dtr = dtr;
    clearFailure();
}

bool PttLine::openPort()
{
    if (m_port.isOpen())
        return true;
    m_port.setPortName(m_device);
    if (!m_port.open(QIODevice::ReadWrite))
        return fail(QStringLiteral("PTT port %1 cannot be opened: %2").arg(m_device, m_port.errorString()));
    // The lines come up switched off, whatever the driver's default.
    m_port.setRequestToSend(false);
    m_port.setDataTerminalReady(false);
    return true;
}

bool PttLine::set(bool keyed)
{
    const bool wasKeyed = m_keyed;
    m_keyed = keyed;
    if (m_device.isEmpty() || (!keyed && !wasKeyed && !m_port.isOpen()))
        return true;
    if (!openPort())
        return false;
    bool ok = true;
    if (m_rts)
        ok = m_port.setRequestToSend(keyed) && ok;
    if (m_dtr)
        ok = m_port.setDataTerminalReady(keyed) && ok;
    if (!ok) {
        fail(QStringLiteral("PTT line %1 on %2 cannot be set: %3")
                 .arg(m_rts && m_dtr ? QStringLiteral("RTS+DTR")
                      : m_rts        ? QStringLiteral("RTS")
                                     : QStringLiteral("DTR"),
                      m_device, m_port.errorString()));
        m_port.clearError();
    }
    if (!keyed && m_port.error() == QSerialPort::ResourceError)
        m_port.close(); // the adapter went away; opened again at the next key-down
    return ok;
}

} // namespace hf::radio
