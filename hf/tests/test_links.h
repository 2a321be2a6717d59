#pragma once
// Test implementations of the station's link interfaces: they record what the HF part sends
// them, in one shared event list, together with what the scripted modem had queued by then.

#include "hf/scripted_modem.h"
#include "station/station_links.h"

#include <QByteArrayList>

namespace hftest {

/// Ordered record of link calls: "PTT True", "PTT False", "local:<line>", "is:<line>",
/// "log:<call>|<text>"; PTT entries carry "@<number of frames queued so far>".
struct EventLog {
    QByteArrayList events;
    const hf::ScriptedModem* modem = nullptr;
    QByteArray queuedSoFar() const { return "@" + QByteArray::number(modem ? modem->queued().size() : 0); }
};

class TestLocal : public station::LocalServices {
public:
    explicit TestLocal(EventLog& log) : m_log(log) {}
    void announcePttOn() override { m_log.events.append("PTT True" + m_log.queuedSoFar()); }
    void announcePttOff() override { m_log.events.append("PTT False" + m_log.queuedSoFar()); }
    void sendToLocalProgram(const QByteArray& line) override { m_log.events.append("local:" + line); }
    void sendReceiveRecord(const QByteArray& record) override { m_log.events.append("record:" + record); }

private:
    EventLog& m_log;
};

class TestAprsIs : public station::AprsIsLink {
public:
    explicit TestAprsIs(EventLog& log) : m_log(log) {}
    bool isConnected() const override { return connected; }
    void sendToAprsIs(const QByteArray& line) override { m_log.events.append("is:" + line); }
    bool connected = true;

private:
    EventLog& m_log;
};

class TestReceiveLog : public station::ReceiveLogger {
public:
    explicit TestReceiveLog(EventLog& log) : m_log(log) {}
    void logReceivedMessage(const QByteArray& call, const QByteArray& text) override
    {
        m_log.events.append("log:" + call + "|" + text);
    }

private:
    EventLog& m_log;
};

inline QByteArrayList withPrefix(const QByteArrayList& list, const QByteArray& prefix)
{
    QByteArrayList out;
    for (const QByteArray& e : list)
        if (e.startsWith(prefix))
            out.append(e);
    return out;
}

} // namespace hftest
