#include "station/status_colours.h"
#include "aprsis/aprs_is_client.h"

#include "platform/clock.h"
#include "station/program_titles.h"
#include "station/station_state.h"

#include <QTimer>

namespace aprsis {

namespace {
using namespace station::colours;

QByteArray join(std::initializer_list<QByteArrayView> parts)
{
    QByteArray out;
    for (QByteArrayView p : parts)
        out.append(p);
    return out;
}
} // namespace

AprsIsClient::AprsIsClient(station::StationState& state, QObject* parent)
    : QObject(parent), m_state(state), m_statusTimer(this), m_reconnectTimer(this), m_silence(this)
{
    platform::Clock::setUpTimer(m_statusTimer, QStringLiteral("aprsIsStatusTimer"), 1000);
    connect(&m_statusTimer, &QTimer::timeout, this, &AprsIsClient::statusTick);
    platform::Clock::setUpTimer(m_reconnectTimer, QStringLiteral("aprsIsReconnectTimer"), 10000);
    connect(&m_reconnectTimer, &QTimer::timeout, this, &AprsIsClient::reconnectTick);
    m_silence.setObjectName(QStringLiteral("aprsIsSilenceTimer"));
    m_silence.setSingleShot(true);
    connect(&m_silence, &QTimer::timeout, this, &AprsIsClient::onSilence);
    m_socket.setObjectName(QStringLiteral("aprsIsSocket"));
    connect(&m_socket, &platform::StationSocket::connected, this, &AprsIsClient::onConnected);
    connect(&m_socket, &platform::StationSocket::errorOccurred, this, &AprsIsClient::onError);
    connect(&m_socket, &platform::StationSocket::dataArrived, this, &AprsIsClient::onData);
    connect(&m_socket, &platform::StationSocket::closedByPeer, this, [this] { m_peerClosed = true; });
}

QByteArray AprsIsClient::logOnLine(QByteArrayView call, QByteArrayView passcode, QByteArrayView groupCall)
{
    return join({"user ", call, " pass ", passcode, " vers ", station::titles::kAprsIsSoftware, " filter g/",
                 call, "/", groupCall, "\r\n"});
}

int AprsIsClient::socketState() const
{
    const int s = m_socket.state();
    if (m_peerClosed && s == platform::StationSocket::Closed)
        return platform::StationSocket::Closing;
    return s;
}

bool AprsIsClient::isConnected() const
{
    return m_socket.isConnected();
}

void AprsIsClient::connectClicked()
{
    if (isConnected()) { // the button reads "Disconnect server"
        close();
        emit buttonColour(Yellow);
        return;
    }
    if (socketState() == platform::StationSocket::Error) {
        emit buttonColour(Grey);
        return;
    }
    if (m_state.aprsIsCall.isEmpty() || m_state.aprsIsCall == "NOCALL") {
        emit statusText(QStringLiteral("Enter Callsign!"));
        return;
    }
    emit buttonColour(Yellow);
    m_fromButton = true;
    startConnection();
}

QString AprsIsClient::connectedText() const
{
    if (m_logOn != LogOn::Unverified)
        return QStringLiteral("Connected");
    return QStringLiteral("Connected, unverified: ") + QString::fromLatin1(m_logOnAnswer);
}

QByteArray AprsIsClient::shownData(const QByteArray& data)
{
    if (data.size() <= kMaxDataShown)
        return data;
    QByteArray tail = data.right(kMaxDataShown);
    const qsizetype lineEnd = tail.indexOf('\n');
    if (lineEnd >= 0 && lineEnd + 1 < tail.size())
        tail.remove(0, lineEnd + 1);
    return tail;
}

void AprsIsClient::serverComment(const QByteArray& line)
{
    // "# logresp CALL verified, server NAME" or "# logresp CALL unverified, server NAME".
    const QByteArray text = line.mid(1).trimmed();
    if (!text.startsWith("logresp "))
        return;
    const QList<QByteArray> words = text.simplified().replace(',', ' ').split(' ');
    const bool unverified = words.size() < 3 || words[2] != "verified";
    m_logOn = unverified ? LogOn::Unverified : LogOn::Verified;
    QByteArray shown = text.left(kMaxAnswerShown);
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '.';
    }
    m_logOnAnswer = shown;
    if (isConnected()) {
        emit statusText(connectedText());
        emit buttonColour(unverified ? Orange : Green);
    }
}

void AprsIsClient::startConnection()
{
    m_peerClosed = false;
    m_logOn = LogOn::Unanswered;
    m_logOnAnswer.clear();
    m_reader.reset();
    m_socket.connectTo(m_host, m_port);
}

void AprsIsClient::onConnected()
{
    m_socket.send(logOnLine(m_state.aprsIsCall, m_passcode, m_state.groupCall));
    m_silence.start(platform::Clock::scaled(kSilenceMs));
    emit statusText(QStringLiteral("Logging on..."));
    emit statusText(QStringLiteral("Connected"));
    emit buttonColour(Green);
    m_fromButton = false;
}

void AprsIsClient::onError()
{
    emit statusText(QStringLiteral("No Connection"));
    emit statusText(QStringLiteral("Error"));
    emit buttonColour(Red);
    m_fromButton = false;
}

void AprsIsClient::stopTimers()
{
    for (QTimer* t : {&m_statusTimer, &m_reconnectTimer, &m_silence})
        t->stop();
}

void AprsIsClient::statusTick()
{
    using S = platform::StationSocket;
    static const char* const Texts[] = {"Closed",         "Open",          "Listening",  "Connection Pending",
                                        "Resolving Host", "Host Resolved", "Connecting", "Connected",
                                        "Closing",        "Reconnecting"};
    const int s = socketState();
    if (s < 0 || s > 9)
        return;
    emit statusText(s == S::Connected ? connectedText() : QString::fromLatin1(Texts[s]));
    switch (s) {
    case S::Closed:
        emit buttonColour(Grey);
        emit buttonEnabled(true);
        emit buttonCaption(QStringLiteral("Connect to server"));
        break;
    case S::Connected:
        emit buttonColour(m_logOn == LogOn::Unverified ? Orange : Green);
        emit buttonEnabled(true);
        emit buttonCaption(QStringLiteral("Disconnect server"));
        break;
    case S::Closing:
        emit buttonColour(Yellow);
        emit buttonEnabled(false);
        m_reconnectTimer.start();
        close();
        break;
    case S::Error:
        emit buttonColour(Red);
        emit buttonEnabled(false);
        m_reconnectTimer.start();
        close();
        emit buttonCaption(QStringLiteral("Error"));
        break;
    default:
        emit buttonColour(Yellow);
        emit buttonEnabled(false);
        break;
    }
}

void AprsIsClient::reconnectTick()
{
    m_reconnectTimer.stop();
    if (m_state.shuttingDown)
        return;
    close();
    // A short pause after the close before the new attempt; a timer rather than a wait, so
    // the reconnection never nests inside another part's wait.
    QTimer::singleShot(platform::Clock::scaled(1000), this, [this] {
        if (!m_state.shuttingDown && !isConnected())
            startConnection();
    });
}

void AprsIsClient::onSilence()
{
    if (!isConnected())
        return;
    close();
    emit statusText(QStringLiteral("No data from the server: reconnecting"));
    emit buttonColour(Yellow);
    m_reconnectTimer.start();
}

void AprsIsClient::close()
{
    m_silence.stop();
    m_peerClosed = false;
    m_socket.close();
    m_reader.reset();
}

void AprsIsClient::sendToAprsIs(const QByteArray& line)
{
    if (!isConnected())
        return;
    m_socket.send(line);
    if (isConnected())
        emit dataShown(shownData(line));
}

void AprsIsClient::onData()
{
    const QByteArray data = m_socket.readAll();
    if (data.isEmpty())
        return;
    m_silence.start(platform::Clock::scaled(kSilenceMs));
    emit dataShown(shownData(data));
    emit dataReceived(data);
    QList<QByteArray> comments;
    const QList<QByteArray> lines = m_reader.feed(data, &comments);
    for (const QByteArray& comment : comments)
        serverComment(comment);
    for (const QByteArray& line : lines)
        emit lineReceived(line);
}

} // namespace aprsis
