#include "hf/radio/sound_card_modem.h"

#include "hf/radio/audio_end_choice.h"
#include "hf/radio/modem_worker.h"

#include <QMutexLocker>

#include <cmath>

namespace hf::radio {

std::optional<std::pair<int, int>> parseSoundDevices(const QByteArray& rxCommaTx)
{
    const QList<QByteArray> parts = rxCommaTx.split(',');
    if (parts.size() != 2)
        return std::nullopt;
    bool okRx = false;
    bool okTx = false;
    const int rx = parts[0].trimmed().toInt(&okRx);
    const int tx = parts[1].trimmed().toInt(&okTx);
    if (!okRx || !okTx || rx < -1 || tx < -1 || rx > 255 || tx > 255)
        return std::nullopt;
    return std::pair{rx, tx};
}

SoundCardModem::SoundCardModem(Config config, QObject* parent)
    : Modem(parent), m_shared(std::make_unique<ModemShared>()), m_pttDevice(std::move(config.pttDevice)),
      m_ptt(std::move(config.ptt))
{
    qRegisterMetaType<hf::Spectrum>();
    WorkerConfig wc;
    wc.input = config.input ? std::move(config.input) : makeInputFactory(AudioEndChoice{});
    wc.output = config.output ? std::move(config.output) : makeOutputFactory(AudioEndChoice{});
    wc.speed = config.speed > 0 ? config.speed : 1.0;
    wc.trace = std::move(config.trace);
    m_worker = new ModemWorker(*m_shared, std::move(wc));
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::started, m_worker, &ModemWorker::init, Qt::DirectConnection);
    ModemShared* shared = m_shared.get();
    connect(m_worker, &ModemWorker::periodic, this, [this, shared](const Spectrum& s) {
        shared->inFlight.fetch_sub(1);
        emit periodic(s);
    });
    connect(m_worker, &ModemWorker::textReceived, this, [this, shared](int channel, const QByteArray& text) {
        shared->inFlight.fetch_sub(1);
        emit textReceived(channel, text);
    });
    connect(m_worker, &ModemWorker::transmitStateChanged, this, &Modem::transmitStateChanged);
    connect(m_worker, &ModemWorker::statusChanged, this, [this](const QString& text) {
        m_status = text;
        emit statusChanged(text);
    });
    connect(m_worker, &ModemWorker::pttFailed, this, &SoundCardModem::pttFailed);
    m_thread.setObjectName(QStringLiteral("sound-card modem"));
    m_thread.start();
}

SoundCardModem::~SoundCardModem()
{
    QMetaObject::invokeMethod(
        m_worker, [w = m_worker] { w->shutdown(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    delete m_worker;
}

template <typename F> void SoundCardModem::onWorker(F&& f)
{
    QMetaObject::invokeMethod(m_worker, std::forward<F>(f), Qt::QueuedConnection);
}

template <typename F> void SoundCardModem::changeChannel(int channel, F&& f)
{
    if (channel < 0 || channel >= kChannelCount)
        return;
    QMutexLocker lock(&m_shared->mutex);
    f(m_shared->channels[static_cast<std::size_t>(channel)]);
    ++m_shared->generation;
}

void SoundCardModem::setCarrierFrequency(double hz)
{
    onWorker([w = m_worker, hz] { w->setTxCarrier(hz); });
}

void SoundCardModem::setRunning(bool on)
{
    m_running = on;
    onWorker([w = m_worker, on] { w->setRunning(on); });
}

void SoundCardModem::setTransmitter(bool on)
{
    if (on && m_running)
        m_shared->state.store(kStateTransmitting); // busy from now, not from the next round
    onWorker([w = m_worker, on] { w->setTransmitter(on); });
}

void SoundCardModem::setSampleRate(int hz)
{
    onWorker([w = m_worker, hz] { w->setSampleRate(hz); });
}

void SoundCardModem::setEndAfterQueue(bool on)
{
    onWorker([w = m_worker, on] { w->setEndAfterQueue(on); });
}

void SoundCardModem::setSoundDevices(const QByteArray& rxCommaTx)
{
    const auto devices = parseSoundDevices(rxCommaTx);
    if (!devices)
        return;
    onWorker([w = m_worker, d = *devices] { w->setDevices(d.first, d.second); });
}

void SoundCardModem::setInputChannel(int channel)
{
    onWorker([w = m_worker, channel] { w->setInputChannel(channel); });
}

void SoundCardModem::setPttPort(const QByteArray& port)
{
    QString device;
    if (port.startsWith("COM")) {
        bool ok = false;
        const int n = port.mid(3).toInt(&ok);
        if (ok && n >= 1 && n <= 8 && m_pttDevice)
            device = m_pttDevice(n);
    }
    m_ptt.serialDevice = device;
    onWorker([w = m_worker, choice = m_ptt] { w->setPtt(choice); });
}

int SoundCardModem::state() const
{
    return m_shared->state.load();
}

void SoundCardModem::sendTune(int)
{
    if (m_running)
        m_shared->state.store(kStateTransmitting);
    onWorker([w = m_worker] { w->sendTune(); });
}

void SoundCardModem::queueText(const QByteArray& text)
{
    onWorker([w = m_worker, text] { w->queueText(text); });
}

void SoundCardModem::setChannelMode(int channel, const QByteArray& mode)
{
    changeChannel(channel, [&](ChannelSetting& c) { c.mode = mode; });
}

void SoundCardModem::setChannelRate(int channel, double baud)
{
    if (std::isfinite(baud))
        changeChannel(channel, [&](ChannelSetting& c) { c.rate = baud; });
}

int SoundCardModem::channelCarrier(int channel) const
{
    if (channel < 0 || channel >= kChannelCount)
        return 0;
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->channels[static_cast<std::size_t>(channel)].carrier;
}

void SoundCardModem::setChannelCarrier(int channel, int hz)
{
    changeChannel(channel, [&](ChannelSetting& c) {
        if (c.carrier == hz)
            return;
        c.carrier = hz;
    });
}

void SoundCardModem::setChannelEnabled(int channel, bool on)
{
    changeChannel(channel, [&](ChannelSetting& c) { c.enabled = on; });
}

void SoundCardModem::setChannelSquelch(int channel, int level)
{
    changeChannel(channel, [&](ChannelSetting& c) { c.squelch = level; });
}

int SoundCardModem::channelState(int channel) const
{
    if (channel < 0 || channel >= kChannelCount)
        return 0;
    return m_shared->channelStates[static_cast<std::size_t>(channel)].load();
}

int SoundCardModem::signalLevel() const
{
    return m_shared->level.load();
}

void SoundCardModem::setNotch(int hz)
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->notchHz = hz;
    ++m_shared->generation;
}

} // namespace hf::radio
