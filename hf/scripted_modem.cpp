#include "hf/scripted_modem.h"

namespace hf {

namespace {
QByteArray number(double value)
{
    return QByteArray::number(value, 'g', 10);
}
QByteArray channelKey(int channel, const char* name)
{
    return "ch" + QByteArray::number(channel) + "." + name + "=";
}
} // namespace

void ScriptedModem::record(const QByteArray& entry)
{
    if (m_writes.size() >= kMaxWrites)
        m_writes.removeFirst();
    m_writes.append(entry);
}

void ScriptedModem::setCarrierFrequency(double hz)
{
    m_carrier = hz;
    record("carrier=" + number(hz));
}

void ScriptedModem::setRunning(bool on)
{
    m_running = on;
    record(on ? "running=1" : "running=0");
}

void ScriptedModem::setTransmitter(bool on)
{
    m_transmitter = on;
    record(on ? "transmitter=1" : "transmitter=0");
}

void ScriptedModem::setSampleRate(int hz)
{
    record("sampleRate=" + QByteArray::number(hz));
}

void ScriptedModem::setEndAfterQueue(bool on)
{
    record(on ? "endAfterQueue=1" : "endAfterQueue=0");
}

void ScriptedModem::setSoundDevices(const QByteArray& rxCommaTx)
{
    record("soundDevices=" + rxCommaTx);
}

void ScriptedModem::setInputChannel(int channel)
{
    record("inputChannel=" + QByteArray::number(channel));
}

void ScriptedModem::setPttPort(const QByteArray& port)
{
    record("pttPort=" + port);
}

void ScriptedModem::sendTune(int kind)
{
    record("tune=" + QByteArray::number(kind));
}

void ScriptedModem::queueText(const QByteArray& text)
{
    if (m_queued.size() >= kMaxWrites)
        m_queued.removeFirst();
    m_queued.append(text);
    record("queue=" + text);
}

void ScriptedModem::setChannelMode(int channel, const QByteArray& mode)
{
    if (!validChannel(channel))
        return;
    m_modes[static_cast<size_t>(channel)] = mode;
    record(channelKey(channel, "mode") + mode);
}

void ScriptedModem::setChannelRate(int channel, double baud)
{
    if (!validChannel(channel))
        return;
    m_rates[static_cast<size_t>(channel)] = baud;
    record(channelKey(channel, "rate") + number(baud));
}

int ScriptedModem::channelCarrier(int channel) const
{
    return validChannel(channel) ? m_carriers[static_cast<size_t>(channel)] : 0;
}

void ScriptedModem::setChannelCarrier(int channel, int hz)
{
    if (!validChannel(channel))
        return;
    m_carriers[static_cast<size_t>(channel)] = hz;
    record(channelKey(channel, "carrier") + QByteArray::number(hz));
}

void ScriptedModem::setChannelEnabled(int channel, bool on)
{
    if (validChannel(channel))
        record(channelKey(channel, "enabled") + (on ? "1" : "0"));
}

void ScriptedModem::setChannelSquelch(int channel, int level)
{
    if (!validChannel(channel))
        return;
    m_squelch[static_cast<size_t>(channel)] = level;
    record(channelKey(channel, "squelch") + QByteArray::number(level));
}

int ScriptedModem::channelState(int channel) const
{
    return validChannel(channel) ? m_states[static_cast<size_t>(channel)] : 0;
}

void ScriptedModem::setNotch(int hz)
{
    m_notch = hz;
    record("notch=" + QByteArray::number(hz));
}

QByteArrayList ScriptedModem::writesStartingWith(const QByteArray& prefix) const
{
    QByteArrayList out;
    for (const QByteArray& w : m_writes)
        if (w.startsWith(prefix))
            out.append(w);
    return out;
}

void ScriptedModem::clearWrites()
{
    m_writes.clear();
    m_queued.clear();
}

QByteArray ScriptedModem::channelMode(int channel) const
{
    return validChannel(channel) ? m_modes[static_cast<size_t>(channel)] : QByteArray();
}

double ScriptedModem::channelRate(int channel) const
{
    return validChannel(channel) ? m_rates[static_cast<size_t>(channel)] : 0.0;
}

int ScriptedModem::channelSquelch(int channel) const
{
    return validChannel(channel) ? m_squelch[static_cast<size_t>(channel)] : 0;
}

void ScriptedModem::setChannelState(int channel, int state)
{
    if (validChannel(channel))
        m_states[static_cast<size_t>(channel)] = state;
}

void ScriptedModem::injectText(int channel, const QByteArray& text)
{
    emit textReceived(channel, text);
}

void ScriptedModem::firePeriodic()
{
    Spectrum s;
    s.binHz = 3000.0 / 512.0;
    s.levelsDb = QList<float>(512, -100.0f);
    emit periodic(s);
}

void ScriptedModem::fireTransmitState(bool transmitting)
{
    emit transmitStateChanged(transmitting);
}

void ScriptedModem::fireLevel(int level)
{
    emit levelEvent(level);
}

} // namespace hf
