// The DSP headers come before any Qt header: they use "emit" as a name, which Qt defines as a
// keyword.
#include "hf/modem/mode.h"
#include "hf/modem/modulator.h"
#include "hf/modem/receiver.h"

#include "hf/radio/modem_worker.h"

#include <QMutexLocker>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace hf::radio {

namespace {
/// The modem thread's pace: one round of reading, decoding and playing every 80 ms while the
/// audio runs (well inside the output's lead and the input's two seconds, and as often as the
/// window takes a spectrum), one look every 200 ms while it waits for a device. Each round
/// brings the 25 channels' state back into the cache (about 0.2 ms of a core a round, more
/// than half of what decoding 40 ms of audio costs): fewer rounds make a cheaper idle station.
constexpr int kTickMs = 80;
constexpr int kIdleTickMs = 200;
/// Retries of a missing device: first after 2 s, then doubling up to once a minute.
constexpr qint64 kRetryFirstMs = 2000;
constexpr qint64 kRetryMaxMs = 60000;
/// The window gets at most one spectrum per this many ms of real time.
constexpr qint64 kPeriodicMs = 50;
/// Samples handed to the output ahead of the one playing, in seconds of audio.
constexpr double kLeadSeconds = 0.25;
/// The modem's level scale is the meter's: 0..4000 for the receiver's 0..100.
constexpr int kLevelScale = 40;
} // namespace

ModemWorker::ModemWorker(ModemShared& shared, WorkerConfig config)
    : m_shared(shared), m_config(std::move(config))
{
}

ModemWorker::~ModemWorker() = default;

void ModemWorker::init()
{
    m_timer = new QTimer(this);
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &ModemWorker::tick);
    m_ptt = makePttSwitch(m_pttChoice);
    m_lastPeriodic.start();
    setStatus(QStringLiteral("HF modem stopped"));
}

void ModemWorker::shutdown()
{
    if (m_txOn) {
        dropQueue();
        m_output->discard();
        finishTx();
    }
    m_running = false;
    m_input.reset();
    m_output.reset();
    m_receiver.reset();
    m_ptt.reset();
    delete m_timer;
    m_timer = nullptr;
}

void ModemWorker::setStatus(const QString& text)
{
    if (text == m_status)
        return;
    m_status = text;
    emit statusChanged(text);
}

void ModemWorker::trace(const char* event) const
{
    if (m_config.trace)
        m_config.trace(event);
}

// --- Settings -------------------------------------------------------------------------------

void ModemWorker::setRunning(bool on)
{
    if (on == m_running)
        return;
    m_running = on;
    if (on) {
        m_restart = true; // the ends open at the next tick, after the settings queued with this
        m_retryStep = kRetryFirstMs;
        m_timer->start(kTickMs);
    } else {
        if (m_txOn) {
            dropQueue();
            m_output->discard();
            finishTx();
        }
        closeAudio(QString());
        m_timer->stop();
        setStatus(QStringLiteral("HF modem off"));
    }
}

void ModemWorker::setSampleRate(int hz)
{
    if (hz == m_sampleRate || (hz != 11025 && hz != 48000))
        return;
    m_sampleRate = hz;
    restartAudio();
}

void ModemWorker::setDevices(int rx, int tx)
{
    if (rx == m_rxDevice && tx == m_txDevice)
        return;
    m_rxDevice = rx;
    m_txDevice = tx;
    restartAudio();
}

void ModemWorker::setInputChannel(int channel)
{
    if (channel == m_inputChannel || channel < 0 || channel > 2)
        return;
    m_inputChannel = channel;
    restartAudio();
}

void ModemWorker::restartAudio()
{
    if (!m_running)
        return;
    m_restart = true;
    m_retryStep = kRetryFirstMs;
}

void ModemWorker::setPtt(const PttChoice& choice)
{
    if (!m_ptt || choice == m_pttChoice)
        return;
    if (m_ptt->keyed())
        m_ptt->set(false);
    m_pttChoice = choice;
    m_ptt = makePttSwitch(choice);
}

// --- Audio ends -----------------------------------------------------------------------------

void ModemWorker::startAudio()
{
    m_restart = false;
    const AudioRequest request{m_sampleRate, m_rxDevice, m_inputChannel, m_config.speed};
    QStringList problems;
    if (!m_input) {
        auto input = m_config.input ? m_config.input() : nullptr;
        QString error;
        if (input &&
            input->open(AudioRequest{request.sampleRate, m_rxDevice, m_inputChannel, request.speed}, error)) {
            m_input = std::move(input);
            m_receiver = std::make_unique<hf::modem::Receiver>(m_input->sampleRate());
            applySettings(true);
        } else {
            problems << (error.isEmpty() ? QStringLiteral("no audio input") : error);
        }
    }
    if (!m_output) {
        auto output = m_config.output ? m_config.output() : nullptr;
        QString error;
        if (output && output->open(AudioRequest{request.sampleRate, m_txDevice, 0, request.speed}, error))
            m_output = std::move(output);
        else
            problems << (error.isEmpty() ? QStringLiteral("no audio output") : error);
    }
    if (problems.isEmpty() && m_input && m_output) {
        m_retryStep = kRetryFirstMs;
        m_retry.invalidate();
        setStatus(QStringLiteral("HF modem running: %1 in, %2 out").arg(m_input->name(), m_output->name()));
        m_timer->setInterval(kTickMs);
        return;
    }
    // Whatever could not be opened is tried again later, less and less often.
    m_retryMs = m_retryStep;
    m_retryStep = std::min(m_retryStep * 2, kRetryMaxMs);
    m_retry.start();
    setStatus((m_input || m_output ? QStringLiteral("HF modem partly running: ")
                                   : QStringLiteral("HF modem idle: ")) +
              problems.join(QStringLiteral("; ")));
    m_timer->setInterval(m_input ? kTickMs : kIdleTickMs);
}

void ModemWorker::closeAudio(const QString& why)
{
    if (m_txOn) {
        dropQueue();
        finishTx();
    }
    m_input.reset();
    m_output.reset();
    m_receiver.reset();
    for (auto& s : m_shared.channelStates)
        s.store(0);
    m_shared.level.store(0);
    if (!why.isEmpty()) {
        setStatus(QStringLiteral("HF modem stopped: %1; trying again").arg(why));
        m_retryStep = kRetryFirstMs;
        m_retryMs = m_retryStep;
        m_retry.start();
        if (m_timer)
            m_timer->setInterval(kIdleTickMs);
    }
}

void ModemWorker::applySettings(bool all)
{
    if (!m_receiver)
        return;
    std::array<ChannelSetting, Modem::kChannelCount> wanted;
    int notch = 0;
    {
        QMutexLocker lock(&m_shared.mutex);
        if (!all && m_shared.generation == m_appliedGeneration)
            return;
        wanted = m_shared.channels;
        notch = m_shared.notchHz;
        m_appliedGeneration = m_shared.generation;
    }
    for (int ch = 0; ch < Modem::kChannelCount; ++ch) {
        const ChannelSetting& w = wanted[static_cast<std::size_t>(ch)];
        ChannelSetting& a = m_applied[static_cast<std::size_t>(ch)];
        // Mode and rate arrive one after the other: a pair the modem does not have (yet)
        // leaves the channel as it was.
        if (all || w.mode != a.mode || w.rate != a.rate) {
            if (m_receiver->setMode(ch, w.mode.toStdString(), w.rate)) {
                a.mode = w.mode;
                a.rate = w.rate;
            }
        }
        if (all || w.carrier != a.carrier) {
            m_receiver->setCarrier(ch, w.carrier);
            a.carrier = w.carrier;
        }
        if (all || w.squelch != a.squelch) {
            m_receiver->setSquelch(ch, w.squelch);
            a.squelch = w.squelch;
        }
        if (all || w.enabled != a.enabled) {
            m_receiver->setEnabled(ch, w.enabled);
            a.enabled = w.enabled;
        }
    }
    if (all || notch != m_appliedNotch) {
        m_notch.set(notch, m_receiver->sampleRate());
        m_appliedNotch = notch;
    }
}

// --- The modem's round ----------------------------------------------------------------------

void ModemWorker::tick()
{
    if (!m_running)
        return;
    if (m_restart) {
        ensureAudio();
    } else if (m_retry.isValid() && m_retry.elapsed() >= m_retryMs) {
        m_retry.invalidate();
        startAudio();
    }
    applySettings(false);
    receive();
    transmit();
}

void ModemWorker::receive()
{
    if (!m_input || !m_receiver)
        return;
    // At most half a second of audio per round (times the speed of paced ends), so the
    // thread stays responsive after a hold-up.
    const auto budget = static_cast<std::size_t>(0.5 * m_input->sampleRate() * std::max(1.0, m_config.speed));
    m_block.resize(4096);
    std::size_t done = 0;
    while (done < budget) {
        const std::ptrdiff_t n = m_input->read(m_block.data(), std::min(m_block.size(), budget - done));
        if (n < 0) {
            closeAudio(QStringLiteral("%1 is gone").arg(m_input->name()));
            return;
        }
        if (n == 0)
            break;
        const auto count = static_cast<std::size_t>(n);
        for (std::size_t i = 0; i < count; ++i) // outside audio may hold anything
            if (!std::isfinite(m_block[i]))
                m_block[i] = 0.0f;
        if (m_txOn) // the receiver is muted while the transmitter is keyed
            std::fill_n(m_block.begin(), count, 0.0f);
        m_notch.process(m_block.data(), count);
        m_receiver->process(m_block.data(), count);
        if (m_receiver->takeSpectrum(m_spectrum))
            m_spectrumFresh = true;
        done += count;
    }
    if (done > 0)
        publish();
}

void ModemWorker::publish()
{
    for (int ch = 0; ch < Modem::kChannelCount; ++ch)
        m_shared.channelStates[static_cast<std::size_t>(ch)].store(m_receiver->state(ch));
    m_shared.level.store(m_receiver->level() * kLevelScale);
    if (tooBusy())
        return; // the text waits in the receiver (bounded there)
    for (int ch = 0; ch < Modem::kChannelCount; ++ch) {
        std::string text = m_receiver->takeText(ch);
        if (text.empty())
            continue;
        m_shared.inFlight.fetch_add(1);
        emit textReceived(ch, QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    }
    if (m_spectrumFresh && m_lastPeriodic.elapsed() >= kPeriodicMs) {
        m_spectrumFresh = false;
        m_lastPeriodic.restart();
        Spectrum s;
        s.binHz = hf::modem::Receiver::kSpectrumStep;
        s.levelsDb = QList<float>(m_spectrum.begin(), m_spectrum.end());
        m_shared.inFlight.fetch_add(1);
        emit periodic(s);
    }
}

// --- Transmit -------------------------------------------------------------------------------

void ModemWorker::setTxCarrier(double hz)
{
    if (std::isfinite(hz))
        m_txCarrier = hz;
}

void ModemWorker::ensureAudio()
{
    // Settings queued together with "run" are all in; open the ends now rather than at the
    // next round so that a transmission right after start-up finds them.
    if (m_running && m_restart) {
        closeAudio(QString());
        startAudio();
    }
}

void ModemWorker::setTransmitter(bool on)
{
    ensureAudio();
    if (on) {
        m_endAfterQueue = false;
        startTx();
        return;
    }
    if (!m_txOn) {
        dropQueue();
        m_shared.state.store(Modem::kStateIdle);
        return;
    }
    dropQueue();
    if (m_output)
        m_output->discard();
    finishTx();
}

void ModemWorker::setEndAfterQueue(bool on)
{
    m_endAfterQueue = on;
}

void ModemWorker::queueText(const QByteArray& text)
{
    if (!m_running || text.isEmpty())
        return;
    ensureAudio();
    for (qsizetype i = 0; i < text.size() && m_texts.size() < kMaxQueuedTexts; i += kMaxPiece)
        m_texts.push_back(text.mid(i, kMaxPiece));
    startTx();
}

void ModemWorker::sendTune()
{
    if (!m_running) {
        m_shared.state.store(Modem::kStateIdle);
        return;
    }
    ensureAudio();
    m_tuneLeft = m_output ? static_cast<std::size_t>(kTuneSeconds * m_output->sampleRate()) : 0;
    m_tunePhase = 0;
    m_tuneDone = 0;
    startTx();
}

void ModemWorker::dropQueue()
{
    m_texts.clear();
    m_txSamples.clear();
    m_txPos = 0;
    m_tuneLeft = 0;
}

void ModemWorker::startTx()
{
    if (m_txOn)
        return;
    if (!m_running || !m_output) {
        dropQueue();
        m_shared.state.store(Modem::kStateIdle);
        if (m_running)
            setStatus(m_status.contains(QStringLiteral("cannot transmit"))
                          ? m_status
                          : m_status + QStringLiteral(" (cannot transmit: no audio output)"));
        return;
    }
    // PTT first: the transmitter is keyed before the first sample goes out.
    if (!m_ptt->set(true) && m_ptt->takeFirstFailure())
        emit pttFailed(m_ptt->lastError());
    trace("ptt on");
    m_txOn = true;
    m_shared.state.store(Modem::kStateTransmitting);
    emit transmitStateChanged(true);
}

void ModemWorker::finishTx()
{
    if (!m_txOn)
        return;
    if (m_output)
        m_output->endOfTransmission();
    if (!m_ptt->set(false) && m_ptt->takeFirstFailure())
        emit pttFailed(m_ptt->lastError());
    trace("ptt off");
    m_txOn = false;
    m_shared.state.store(Modem::kStateIdle);
    emit transmitStateChanged(false);
}

bool ModemWorker::nextSamples()
{
    m_txSamples.clear();
    m_txPos = 0;
    const int rate = m_output->sampleRate();
    if (m_tuneLeft > 0) { // a steady carrier, in pieces of 0.1 s with a soft start
        const std::size_t n = std::min<std::size_t>(m_tuneLeft, static_cast<std::size_t>(rate / 10));
        const double step = 2 * std::numbers::pi * m_txCarrier / rate;
        const double ramp = 0.005 * rate;
        for (std::size_t i = 0; i < n; ++i, ++m_tuneDone) {
            const double gain = std::min(1.0, static_cast<double>(m_tuneDone) / ramp);
            m_txSamples.push_back(static_cast<float>(0.8 * gain * std::sin(m_tunePhase)));
            m_tunePhase = std::fmod(m_tunePhase + step, 2 * std::numbers::pi);
        }
        m_tuneLeft -= n;
        return true;
    }
    while (!m_texts.empty()) {
        const QByteArray text = m_texts.front();
        m_texts.pop_front();
        ChannelSetting ch0;
        {
            QMutexLocker lock(&m_shared.mutex);
            ch0 = m_shared.channels[0];
        }
        // Each text goes out in channel 0's mode and rate as they are when it is sent.
        const auto mode = hf::modem::modeFromChannel(ch0.mode.toStdString(), ch0.rate);
        if (!mode)
            continue;
        try {
            hf::modem::Modulator modulator(*mode, rate, m_txCarrier);
            m_txSamples =
                modulator.modulate(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
        } catch (const std::invalid_argument&) {
            continue; // a carrier outside the modulator's range: nothing is sent
        }
        if (!m_txSamples.empty())
            return true;
    }
    return false;
}

void ModemWorker::transmit()
{
    if (!m_txOn || !m_output)
        return;
    const auto lead =
        static_cast<std::size_t>(kLeadSeconds * m_output->sampleRate() * std::max(1.0, m_config.speed));
    bool more = true;
    while (m_output->pending() < lead) {
        if (m_txPos >= m_txSamples.size() && !nextSamples()) {
            more = false;
            break;
        }
        const std::ptrdiff_t n = m_output->write(m_txSamples.data() + m_txPos, m_txSamples.size() - m_txPos);
        if (n < 0) {
            closeAudio(QStringLiteral("%1 is gone").arg(m_output ? m_output->name() : QString()));
            return;
        }
        if (n == 0)
            break;
        m_txPos += static_cast<std::size_t>(n);
    }
    const bool tuneOver = m_tuneDone > 0 && m_tuneLeft == 0;
    if (!more && (m_endAfterQueue || tuneOver) && m_output->pending() == 0) {
        m_tuneDone = 0;
        finishTx(); // the last sample has been played: release
    }
}

} // namespace hf::radio
