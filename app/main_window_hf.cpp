// The main window's wiring of the HF link, the modem control and the igate.
#include "app/main_window.h"

#include "app/message_display_window.h"
#include "app/modem_views.h"
#include "app/widget_helpers.h"

#include "hf/hf_link.h"
#include "hf/igate.h"
#include "hf/igate_rules.h"
#include "hf/modem_control.h"
#include "hf/radio/sound_card_modem.h"
#include "hf/scripted_modem.h"
#include "links/serial_tnc_link.h"
#include "messaging/display_text.h"
#include "messaging/message_composer.h"
#include "messaging/message_sender.h"
#include "station/station_state.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

namespace app {

namespace {
/// Transmit option by mode (the order of the "Transmit" group).
const char* optionName(station::TransmitMode mode)
{
    static const char* const Names[] = {"psk63Option",    "tncOption",     "aprsIsOption",  "mfsk16Option",
                                        "qpsk125Option",  "psk250Option",  "qpsk250Option", "gmsk63Option",
                                        "ax25MfskOption", "gmsk250Option", "ax25Option",    "ax25Psk63Option",
                                        "ax25GmskOption"};
    const auto i = static_cast<size_t>(mode);
    return i < std::size(Names) ? Names[i] : "";
}

const char* const ModemTransmitOptions[] = {"mfsk16Option",   "psk63Option",   "qpsk125Option",
                                            "psk250Option",   "qpsk250Option", "gmsk63Option",
                                            "ax25MfskOption", "gmsk250Option"};

void showAtEnd(QPlainTextEdit* box, const QByteArray& text)
{
    box->setPlainText(textOf(text));
    box->verticalScrollBar()->setValue(box->verticalScrollBar()->maximum());
}
} // namespace

void MainWindow::wireHf()
{
    if (m_modem)
        return;
    m_modem = m_modemFactory ? m_modemFactory() : nullptr;
    if (!m_modem)
        m_modem = std::make_unique<hf::ScriptedModem>(); // idle until a sound-card modem exists
    // Children of the window, like the links, so its closing finds every timer they run.
    m_modemControl = std::make_unique<hf::ModemControl>(*m_modem, m_state, m_waits, m_links, this);
    m_hfLink = std::make_unique<hf::HfLink>(*m_modem, m_state, m_waits, m_links, this);
    m_igate = std::make_unique<hf::Igate>(
        m_state, m_waits, m_links, *m_hfLink, [this] { return m_hfHeard.first(hf::kGatedHeardEntries); },
        this);
    if (qobject_cast<hf::ScriptedModem*>(m_modem.get()))
        control<QPushButton>("tuneButton")->setToolTip(QStringLiteral("No sound-card modem: HF runs idle"));
    wireModemStatus();

    hf::ModemControl* mc = m_modemControl.get();
    hf::HfLink* hf = m_hfLink.get();
    hf::Igate* ig = m_igate.get();
    connect(control<QPushButton>("tuneButton"), &QPushButton::clicked, mc, &hf::ModemControl::tuneClicked);
    connect(control<QCheckBox>("lsbTxModeCheck"), &QCheckBox::toggled, mc, &hf::ModemControl::setLsbTxMode);
    connect(control<QCheckBox>("notchCheck"), &QCheckBox::toggled, mc, &hf::ModemControl::setNotchEnabled);
    connectHfViews();

    connectModemControlViews();

    connect(hf, &hf::HfLink::trafficTextChanged, this,
            [this](const QByteArray& text) { showAtEnd(control<QPlainTextEdit>("hfTrafficDisplay"), text); });
    connect(hf, &hf::HfLink::stationHeard, this,
            [this](const QByteArray& source) { addStationHeard(m_hfHeard, "hfHeardList", source); });
    connect(hf, &hf::HfLink::messagesChanged, this, [this](messaging::MessagesBackground background) {
        showMessagesText();
        if (background == messaging::MessagesBackground::White)
            setBackColour(control<QPlainTextEdit>("messagesDisplay"), White);
        else if (background == messaging::MessagesBackground::Yellow)
            setBackColour(control<QPlainTextEdit>("messagesDisplay"), Yellow);
    });
    connect(hf, &hf::HfLink::remoteCommand, ig, &hf::Igate::remoteCommand);
    connect(hf, &hf::HfLink::frameQueued, mc, &hf::ModemControl::frameQueued);
    connect(hf, &hf::HfLink::beaconRequested, this, &MainWindow::sendFixedBeacon);
    // A "cmd:" heard on HF puts a text-mode TNC back into converse, as its own prompt does.
    connect(hf, &hf::HfLink::tncCommandReceived, m_serialTnc.get(),
            [this] { m_serialTnc->returnToConverse(); });
    connect(hf, &hf::HfLink::ackMatched, this, &MainWindow::enableMessageInput);
    connect(hf, &hf::HfLink::retryFinished, this, [this](bool acknowledged) {
        enableMessageInput();
        if (acknowledged)
            m_sender->startFlashing(); // the messages box flashes
    });
    connect(ig, &hf::Igate::titleChanged, this, [this](const QString& text, unsigned bgr) {
        auto* title = control<QLabel>("titleLabel");
        title->setText(text);
        setBackColour(title, bgr);
    });
    connect(ig, &hf::Igate::messagesChanged, this, &MainWindow::showMessagesText);
    connect(ig, &hf::Igate::tncStationHeard, this,
            [this](const QByteArray& source) { addStationHeard(m_tncHeard, "tncHeardList", source); });
}

void MainWindow::connectModemControlViews()
{
    hf::ModemControl* mc = m_modemControl.get();
    connect(mc, &hf::ModemControl::optionColour, this, [this](station::TransmitMode mode, unsigned bgr) {
        setBackColour(control<QRadioButton>(optionName(mode)), bgr);
    });
    connect(mc, &hf::ModemControl::beaconButtonState, this, [this](unsigned bgr, bool transmitting) {
        auto* beacon = control<QPushButton>("sendBeaconButton");
        setBackColour(beacon, bgr);
        beacon->setText(transmitting ? QStringLiteral("Transmit") : QStringLiteral("Send Beacon"));
        for (const char* name : ModemTransmitOptions)
            control<QRadioButton>(name)->setEnabled(!transmitting);
    });
    connect(mc, &hf::ModemControl::mfskCaption, this,
            [this](const QString& caption) { control<QRadioButton>("mfsk16Option")->setText(caption); });
    connect(mc, &hf::ModemControl::tuneButtonColour, this,
            [this](unsigned bgr) { setBackColour(control<QPushButton>("tuneButton"), bgr); });
    connect(mc, &hf::ModemControl::sendBeaconEnabled, this,
            [this](bool on) { control<QPushButton>("sendBeaconButton")->setEnabled(on); });
}

// --- Sound-card modem: status caption and PTT failures ---------------------------------------
void MainWindow::wireModemStatus()
{
    auto* caption = findChild<QLabel*>(QStringLiteral("modemStatusLabel"));
    auto* meter = findChild<LevelMeter*>(QStringLiteral("levelMeter"));
    const auto show = [caption, meter](const QString& text) {
        if (caption)
            caption->setText(text);
        if (meter)
            meter->setToolTip(text + QStringLiteral("\nClick to set the squelch level"));
    };
    auto* radio = qobject_cast<hf::radio::SoundCardModem*>(m_modem.get());
    if (!radio) {
        show(QStringLiteral("HF modem idle: no sound-card modem"));
        return;
    }
    show(radio->status().isEmpty() ? QStringLiteral("HF modem starting") : radio->status());
    connect(radio, &hf::radio::SoundCardModem::statusChanged, this, show);
    // Reported once per PTT setting by the modem; the transmission goes on without it.
    connect(radio, &hf::radio::SoundCardModem::pttFailed, this, [caption](const QString& text) {
        if (caption)
            caption->setText(caption->text() + QStringLiteral("\n") + text);
    });
}
// --- end sound-card modem -------------------------------------------------------------------

void MainWindow::connectHfViews()
{
    auto* meter = findChild<LevelMeter*>(QStringLiteral("levelMeter"));
    const std::array<WaterfallView*, 2> views{findChild<WaterfallView*>(QStringLiteral("upperWaterfall")),
                                              findChild<WaterfallView*>(QStringLiteral("lowerWaterfall"))};
    hf::ModemControl* mc = m_modemControl.get();
    for (WaterfallView* view : views) {
        if (!view)
            continue;
        connect(mc, &hf::ModemControl::spectrumReady, view, &WaterfallView::addSpectrum);
        connect(view, &WaterfallView::frequencyClicked, this, [mc, views](double hz) {
            mc->waterfallClicked(hz);
            for (WaterfallView* v : views)
                if (v)
                    v->setMarker(hz);
        });
    }
    if (meter) {
        connect(mc, &hf::ModemControl::signalLevelChanged, meter, &LevelMeter::setLevel);
        connect(meter, &LevelMeter::squelchLevelChosen, mc, &hf::ModemControl::applySquelchLevel);
    }
}

void MainWindow::addStationHeard(station::HeardList& heard, const char* listName, const QByteArray& source)
{
    const station::HeardList::Change change = heard.add(source);
    if (!change.added)
        return; // heard before: the first entry stays where it is
    auto* list = control<QListWidget>(listName);
    if (change.oldestRemoved)
        delete list->takeItem(0);
    list->addItem(textOf(source));
}

void MainWindow::showMessagesText()
{
    showAtEnd(control<QPlainTextEdit>("messagesDisplay"), m_state.messagesText);
    if (m_messageDisplay)
        m_messageDisplay->refresh();
}

void MainWindow::enableMessageInput()
{
    for (const char* name : {"messageInput", "data1Field", "data2Field", "data3Field"}) {
        auto* box = control<QLineEdit>(name);
        box->setEnabled(true);
        setBackColour(box, Yellow);
    }
    control<QPushButton>("sendButton")->setEnabled(true);
}

void MainWindow::transmitOnHf()
{
    if (!m_hfLink)
        return;
    const messaging::RaynetFields raynet{bytesOf(control<QLineEdit>("data1Field")->text()),
                                         bytesOf(control<QLineEdit>("data2Field")->text()),
                                         bytesOf(control<QLineEdit>("data3Field")->text())};
    m_hfLink->transmitOnHf(bytesOf(control<QLineEdit>("sendToField")->text()),
                           bytesOf(control<QLineEdit>("messageInput")->text()), raynet);
}

} // namespace app
