#pragma once
// Oracles for fuzzing whole receive paths: stand-ins for the station's links that check every
// byte the station passes on. Received bytes are data, never structure: whatever came in,
// what goes out to APRS-IS, a local program, the receive log or a TNC is one well-formed line
// (or nothing), and no dialog is raised. A broken rule aborts, which libFuzzer reports.

#include "packet/packet_line.h"
#include "platform/clock.h"
#include "platform/dialog_service.h"
#include "station/station_links.h"
#include "station/station_state.h"
#include "station/waits.h"

#include <QByteArray>

#include <cstdio>
#include <cstdlib>

namespace fuzzoracle {

[[noreturn]] inline void fail(const char* rule, const QByteArray& bytes)
{
    std::fprintf(stderr, "receive oracle: %s: %s\n", rule, bytes.toHex(' ').constData());
    std::abort();
}

/// One line: `line` ends in CR LF, holds no other CR, LF or NUL, and at most `maxLength`
/// bytes come before its line end.
inline void checkLine(const QByteArray& line, qsizetype maxLength, const char* where)
{
    if (!line.endsWith("\r\n"))
        fail(where, line);
    const QByteArray text = line.chopped(2);
    if (text.contains('\r') || text.contains('\n') || text.contains('\0'))
        fail(where, line);
    if (text.size() > maxLength)
        fail(where, line);
}

/// Text for a text-mode TNC in converse mode: no control byte other than the CR that ends it.
inline void checkTncText(const QByteArray& text, const char* where)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto u = static_cast<unsigned char>(text[i]);
        if ((u < 0x20 || u == 0x7F) && !(text[i] == '\r' && i == text.size() - 1))
            fail(where, text);
    }
}

/// The APRS-IS server: every line a gated packet of at most 256 bytes plus the q construct.
class AprsIs : public station::AprsIsLink {
public:
    explicit AprsIs(QByteArray igateCall) : m_qConstruct(",qAR," + igateCall) {}
    bool isConnected() const override { return true; }
    void sendToAprsIs(const QByteArray& line) override
    {
        checkLine(line, packet::kMaxGatedPacketLength + m_qConstruct.size(), "APRS-IS line");
        ++lines;
    }
    qint64 lines = 0;

private:
    QByteArray m_qConstruct;
};

/// The local programs on 8063 (packets, at most 256 bytes) and 8064 (receive-log records:
/// time stamp, call and the received packet).
class LocalPrograms : public station::LocalServices {
public:
    void announcePttOn() override {}
    void announcePttOff() override {}
    void sendToLocalProgram(const QByteArray& line) override
    {
        checkLine(line, packet::kMaxGatedPacketLength, "line to the local program");
    }
    void sendReceiveRecord(const QByteArray& record) override
    {
        checkLine(record + "\r\n", 1 << 20, "record");
    }
};

/// The receive log: one record per call, whatever the text.
class ReceiveLog : public station::ReceiveLogger {
public:
    void logReceivedMessage(const QByteArray& call, const QByteArray& text) override
    {
        checkLine(call + "," + text + "\r\n", 1 << 20, "receive-log record");
    }
};

/// No dialog, ever, for received input.
class Dialogs : public platform::DialogService {
public:
    void showMessage(Icon, const QString&, const QString& text) override
    {
        fail("dialog raised", text.toLatin1());
    }
};

/// The station a receive path runs in: its state and waits with time almost stopped, the
/// checking links plugged in, and no dialog allowed.
struct CheckedStation {
    explicit CheckedStation(const QByteArray& igateCall) : aprsIs(igateCall)
    {
        platform::Clock::setTimeScale(0.0001);
        platform::DialogService::install(&dialogs);
        links.aprsIs = &aprsIs;
        links.local = &local;
        links.receiveLog = &receiveLog;
    }

    Dialogs dialogs;
    station::StationState state;
    station::Waits waits{state};
    station::StationLinks links;
    AprsIs aprsIs;
    LocalPrograms local;
    ReceiveLog receiveLog;
};

} // namespace fuzzoracle
