#pragma once
// Test implementations of the station's link interfaces: they record what the HF part sends
// them, in one shared event list, together with what the scripted modem had queued by then.

#include "hf/scripted_modem.h"
#include "station/station_links.h"
#include "tests/support/recording_links.h"

#include <QByteArrayList>

namespace hftest {

/// Ordered record of link calls: "PTT True", "PTT False", "local:<line>", "is:<line>",
/// "log:<call>|<text>"; PTT entries carry "@<number of frames queued so far>".
struct EventLog {
    QByteArrayList events;
    const hf::ScriptedModem* modem = nullptr;
    QByteArray queuedSoFar() const { return "@" + QByteArray::number(modem ? modem->queued().size() : 0); }
};

class TestLocal : public testsupport::RecordingLocal {
public:
    explicit TestLocal(EventLog& log) : RecordingLocal(log.events, [&log] { return log.queuedSoFar(); }) {}
};

class TestAprsIs : public testsupport::RecordingAprsIs {
public:
    explicit TestAprsIs(EventLog& log) : RecordingAprsIs(log.events) {}
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
