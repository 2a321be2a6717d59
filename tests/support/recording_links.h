#pragma once
// Header only (the shared test support does not link the station library): stand-ins for the
// station's APRS-IS and local-port links that record each call, in order, in an event list
// the test may share with other stand-ins: "is:<line>", "local:<line>", "record:<record>",
// "PTT True", "PTT False".
#include "station/station_links.h"

#include <QByteArrayList>

#include <functional>

namespace testsupport {

class RecordingAprsIs : public station::AprsIsLink {
public:
    explicit RecordingAprsIs(QByteArrayList& events) : m_events(events) {}
    bool isConnected() const override { return connected; }
    void sendToAprsIs(const QByteArray& line) override { m_events.append("is:" + line); }
    bool connected = true;

private:
    QByteArrayList& m_events;
};

class RecordingLocal : public station::LocalServices {
public:
    /// `pttNote`, when set, is appended to each PTT event (what else had happened by then).
    explicit RecordingLocal(QByteArrayList& events, std::function<QByteArray()> pttNote = {})
        : m_events(events), m_pttNote(std::move(pttNote))
    {
    }
    void announcePttOn() override { m_events.append("PTT True" + note()); }
    void announcePttOff() override { m_events.append("PTT False" + note()); }
    void sendToLocalProgram(const QByteArray& line) override { m_events.append("local:" + line); }
    void sendReceiveRecord(const QByteArray& record) override { m_events.append("record:" + record); }

private:
    QByteArray note() const { return m_pttNote ? m_pttNote() : QByteArray(); }

    QByteArrayList& m_events;
    std::function<QByteArray()> m_pttNote;
};

/// The events of `events` that start with `prefix`, the prefix taken off.
inline QByteArrayList eventsOf(const QByteArrayList& events, const QByteArray& prefix)
{
    QByteArrayList out;
    for (const QByteArray& e : events)
        if (e.startsWith(prefix))
            out.append(e.mid(prefix.size()));
    return out;
}

} // namespace testsupport
