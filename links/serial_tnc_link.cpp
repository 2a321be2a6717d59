#include "links/serial_tnc_link.h"

#include "links/kiss_tcp_link.h"
#include "links/tnc_line_rules.h"
#include "packet/kiss_codec.h"
#include "platform/clock.h"
#include "platform/dialog_service.h"
#include "station/station_state.h"
#include "station/waits.h"

#include <utility>

namespace links {

namespace {
const QByteArray CtrlC("\x03\r", 2);

bool isTextModeCode(int code)
{
    return code == 0 || code == 2 || code == 3;
}
} // namespace

SerialTncLink::SerialTncLink(station::StationState& state, station::Waits& waits,
                             station::StationLinks& links, std::function<QString(int)> resolve,
                             QObject* parent)
    : QObject(parent), m_state(state), m_waits(waits), m_links(links), m_resolve(resolve),
      m_port(std::move(resolve)), m_lines(state, links, this), m_statusTimer(this), m_watchTimer(this),
      m_gatherTimer(this), m_reopenTimer(this)
{
    const struct {
        QTimer& timer;
        const char* name;
        int designMs;
        void (SerialTncLink::*tick)();
    } timers[] = {{m_statusTimer, "tncStatusTimer", 1000, &SerialTncLink::onStatusTimer},
                  {m_watchTimer, "tncWatchTimer", 59000, &SerialTncLink::onWatchTimer},
                  {m_gatherTimer, "tncGatherTimer", 200, &SerialTncLink::onGatherTimer},
                  {m_reopenTimer, "tncReopenTimer", kReopenMs, &SerialTncLink::onReopenTimer}};
    for (const auto& t : timers) {
        platform::Clock::setUpTimer(t.timer, QLatin1String(t.name), t.designMs);
        connect(&t.timer, &QTimer::timeout, this, t.tick);
    }
    m_clock.start();
    connect(&m_port, &platform::CommPort::dataReceived, this, &SerialTncLink::onPortData);
    connect(&m_port, &platform::CommPort::errorRaised, this, &SerialTncLink::onPortError);
    m_lines.setReturnToConverse([this] { returnToConverse(); });
    connect(&m_lines, &TncLineHandler::handlingStarted, &m_watchTimer, &QTimer::stop);
    connect(&m_lines, &TncLineHandler::handlingFinished, this, [this] {
        if (m_state.tncPort > 0 && !m_state.noTnc)
            m_watchTimer.start();
    });
}

SerialTncLink::~SerialTncLink() = default;

QString SerialTncLink::settingsFor(int tncTypeCode)
{
    switch (tncTypeCode) {
    case 0:
        return QStringLiteral("4800,N,8,1");
    case 2:
    case 4:
        return QStringLiteral("9600,N,8,1");
    case 3:
        return QStringLiteral("19200,N,8,1");
    case 5:
        return QStringLiteral("38400,N,8,1");
    default:
        return {};
    }
}

void SerialTncLink::stopTimers()
{
    for (QTimer* t : {&m_statusTimer, &m_watchTimer, &m_gatherTimer, &m_reopenTimer})
        t->stop();
    m_inService = false;
    m_lines.stop();
}

void SerialTncLink::setPortWatched(bool watched)
{
    if (watched)
        m_watchTimer.start();
    else
        m_watchTimer.stop();
}

void SerialTncLink::openAtLoad()
{
    m_port.close();
    m_port.setPortNumber(m_state.tncPort);
    const QString settings = settingsFor(m_state.tncTypeCode);
    if (!settings.isEmpty())
        m_port.setSettings(settings);
    m_kiss.reset();
    m_text.reset();
    m_gathered.clear();
    // From here on a device that goes away is waited for; what was written before (the
    // window's own set-up) went nowhere and stays so.
    m_inService = m_state.tncPort > 0 && !m_state.noTnc;
    m_waiting.clear();
    if (m_port.open())
        m_port.write(CtrlC);
    else
        deviceGone();
    m_statusTimer.start();
    if (m_state.tncPort > 0)
        m_watchTimer.start();
}

void SerialTncLink::onPortData()
{
    gather(m_port.readAll());
}

void SerialTncLink::gather(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return;
    const qsizetype room = kMaxGathered - m_gathered.size();
    m_gathered += bytes.left(room);
    m_dataSinceTick = true;
    if (!m_gatherTimer.isActive())
        m_gatherTimer.start();
}

void SerialTncLink::onPortError()
{
    // The port has closed itself if the device went away: it is tried again until it is back.
    if (m_state.tncPort > 0 && !m_watchTimer.isActive())
        m_watchTimer.start();
    if (!m_port.isOpen())
        deviceGone();
}

void SerialTncLink::onGatherTimer()
{
    m_gatherTimer.stop();
    const QByteArray data = std::exchange(m_gathered, QByteArray());
    const bool quiet = !m_dataSinceTick;
    m_dataSinceTick = false;

    if (m_state.kissSerial) {
        for (const QByteArray& frame : m_kiss.feed(data)) {
            const QByteArray text = decodeKissFrame(frame);
            if (!text.isEmpty())
                m_lines.receiveLine(text + "\r\n");
        }
        return;
    }
    QList<QByteArray> lines = m_text.feed(data);
    if (m_text.hasPending()) {
        // A prompt such as "cmd:" has no line end: take it once the TNC has been quiet for a
        // whole gathering period, otherwise look again after the next one.
        if (quiet)
            lines += m_text.flush();
        else
            m_gatherTimer.start();
    }
    for (QByteArray& line : lines) {
        qsizetype blanks = 0;
        while (blanks < line.size() && line.at(blanks) == ' ')
            ++blanks;
        m_lines.receiveLine(line.mid(blanks));
    }
}

QString SerialTncLink::portText() const
{
    return QStringLiteral("TNC Com port %1").arg(m_state.tncPort);
}

void SerialTncLink::onStatusTimer()
{
    QString caption;
    if (m_state.tncPort == 0)
        caption = QStringLiteral("TNC Com port not selected");
    else if (!m_port.isOpen())
        caption = portText() + QStringLiteral(" is unavailable");
    else
        caption = portText() + QStringLiteral(" is working");
    if (m_port.takeError() && m_state.tncPort != 0)
        caption = portText() + QStringLiteral(" has a problem");
    emit portStatus(caption);
}

bool SerialTncLink::reopen()
{
    m_port.close();
    m_port.setPortNumber(m_state.tncPort);
    if (isTextModeCode(m_state.tncTypeCode))
        m_port.setSettings(settingsFor(m_state.tncTypeCode));
    if (m_port.open())
        return true;
    m_port.takeError();
    m_port.close();
    return false;
}

void SerialTncLink::onWatchTimer()
{
    if (m_state.tncPort <= 0)
        return;
    if (reopen()) {
        deviceBack();
    } else {
        emit portStatus(portText() + QStringLiteral(" has a problem"));
        deviceGone();
    }
}

void SerialTncLink::onReopenTimer()
{
    if (m_state.tncPort <= 0) {
        m_reopenTimer.stop();
        return;
    }
    // Only a device that is there is opened: a failed attempt would read as a port problem.
    if (m_port.isOpen() || ((!m_resolve || !m_resolve(m_state.tncPort).isEmpty()) && reopen()))
        deviceBack();
}

void SerialTncLink::deviceGone()
{
    if (m_inService && !m_reopenTimer.isActive())
        m_reopenTimer.start();
}

void SerialTncLink::deviceBack()
{
    m_reopenTimer.stop();
    if (!m_waiting.isEmpty())
        m_port.write(m_waiting.take(m_clock.elapsed(), platform::Clock::scaled(kMaxWaitMs)));
}

void SerialTncLink::returnToConverse()
{
    if (!m_waits.waitWhile([this] { return m_state.transmitBusy; }))
        return;
    m_waits.waitSeconds(0.1);
    if (m_state.shuttingDown)
        return;
    m_state.transmitBusy = true;
    writeTnc("conv\r");
    m_state.transmitBusy = false;
}

void SerialTncLink::handleInput(const QByteArray& text)
{
    Q_UNUSED(text);
}

QByteArray SerialTncLink::decodeKissFrame(const QByteArray& frame)
{
    const packet::KissDecodeResult r = packet::Kiss::decode(frame, m_state.choices.myCallField);
    if (r.digipeat && m_state.choices.hfDigipeat) {
        // Received input never raises a dialog: a repeat that cannot be encoded is dropped.
        const packet::KissEncodeResult repeat = packet::Kiss::encode(
            r.digipeat->destination, r.digipeat->source, r.digipeat->path, r.digipeat->info);
        if (repeat.ok())
            sendKissFrame(repeat.frame);
        else
            ++m_droppedDigipeats;
    }
    return r.text;
}

void SerialTncLink::writeTnc(const QByteArray& bytes)
{
    writePort(m_state.kissSerial ? bytes : converseText(bytes));
}

void SerialTncLink::enterCommandMode()
{
    writePort(CtrlC);
}

void SerialTncLink::writePort(const QByteArray& bytes)
{
    if (!m_port.isOpen() && m_port.open())
        deviceBack();
    if (m_port.isOpen()) {
        m_port.write(bytes);
    } else if (m_inService) {
        // The device is gone: the write waits for it, in order with what waits already.
        m_waiting.add(bytes, m_clock.elapsed());
        deviceGone();
    }
}

void SerialTncLink::sendKissFrame(const QByteArray& destination, const QByteArray& source,
                                  const QByteArray& path, const QByteArray& info)
{
    const packet::KissEncodeResult r = packet::Kiss::encode(destination, source, path, info);
    if (!r.ok()) {
        platform::DialogService::instance().showMessage(platform::DialogService::Icon::Critical, QString(),
                                                        r.message);
        return;
    }
    sendKissFrame(r.frame);
}

void SerialTncLink::sendKissFrame(const QByteArray& frame)
{
    if (station::isAx25Mode(m_state.choices.transmitMode) && m_kissTcp && m_kissTcp->isConnected())
        m_kissTcp->send(frame);
    if (m_state.kissSerial)
        writeTnc(frame);
}

void SerialTncLink::clearMessageHeading()
{
    m_gathered.clear();
    m_kiss.reset();
    m_text.reset();
    m_lines.clear();
}

bool SerialTncLink::isTextModeTnc() const
{
    return !m_state.noTnc && !m_state.kissSerial;
}

} // namespace links
