// The main window's wiring of the HF link, the modem control and the igate.
#include "main_window.h"

#include "message_display_window.h"
#include "modem_views.h"
#include "widget_helpers.h"

#include "hf/hf_link.h"
#include "hf/igate.h"
#include "hf/igate_rules.h"
#include "hf/modem_control.h"
#include "hf/radio/sound_card_modem.h"
#include "hf/scripted_modem.h"
#include "links/serial_tnc_link.h"
#include "messaging/display_text.h"
#include "messaging/message_composer.h"
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
    static const char* const Names[] = {"Option7",  "Option8",   "Option9",  "Option10", "Option14",
                                        "Option15", "Option17",  "Option18", "Option19", "Option20",
                                        "Option31", "Option110", "Option111"};
    const auto i = static_cast<size_t>(mode);
    return i < std::size(Names) ? Names[i] : "";
}

const char* const ModemTransmitOptions[] = {"Option10", "Option7",  "Option14", "Option15",
                                            "Option17", "Option18", "Option19", "Option20"};

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
    m_modemControl =
        std::make_unique<hf::ModemControl>(*m_modem, m_state, m_waits, m_links, timer(16), timer(5));
    m_hfLink = std::make_unique<hf::HfLink>(*m_modem, m_state, m_waits, m_links, timer(3), timer(20));
    m_igate = std::make_unique<hf::Igate>(m_state, m_waits, m_links, *m_hfLink, timer(21),
                                          [this] { return m_hfHeard.first(hf::kGatedHeardEntries); });
    if (qobject_cast<hf::ScriptedModem*>(m_modem.get()))
        control<QPushButton>("Command3")->setToolTip(QStringLiteral("No sound-card modem: HF runs idle"));
    wireModemStatus();

    hf::ModemControl* mc = m_modemControl.get();
    hf::HfLink* hf = m_hfLink.get();
    hf::Igate* ig = m_igate.get();
    connect(&timer(3), &QTimer::timeout, hf, &hf::HfLink::Timer3_Timer);
    connect(&timer(5), &QTimer::timeout, mc, &hf::ModemControl::Timer5_Timer);
    connect(&timer(12), &QTimer::timeout, hf, &hf::HfLink::Timer12_Timer);
    // Assembly looks only at text that came since its last run: one run 10 ms after text
    // arrives, instead of a timer waking every 10 ms through the silence.
    timer(12).setSingleShot(true);
    connect(m_modem.get(), &hf::Modem::textReceived, this, [this] {
        if (!timer(12).isActive())
            timer(12).start();
    });
    connect(&timer(13), &QTimer::timeout, mc, &hf::ModemControl::Timer13_Timer);
    connect(&timer(15), &QTimer::timeout, hf, &hf::HfLink::Timer15_Timer);
    connect(&timer(16), &QTimer::timeout, mc, &hf::ModemControl::Timer16_Timer);
    connect(&timer(20), &QTimer::timeout, hf, &hf::HfLink::Timer20_Timer);
    connect(&timer(21), &QTimer::timeout, ig, &hf::Igate::Timer21_Timer);

    connect(control<QPushButton>("Command3"), &QPushButton::clicked, mc, &hf::ModemControl::Command3_Click);
    connect(control<QCheckBox>("Check11"), &QCheckBox::toggled, mc, &hf::ModemControl::setLsbTxMode);
    connect(control<QCheckBox>("Check8"), &QCheckBox::toggled, mc, &hf::ModemControl::setNotchEnabled);
    connectHfViews();

    connect(mc, &hf::ModemControl::optionColour, this, [this](station::TransmitMode mode, unsigned bgr) {
        setBackColour(control<QRadioButton>(optionName(mode)), bgr);
    });
    connect(mc, &hf::ModemControl::beaconButtonState, this, [this](unsigned bgr, bool transmitting) {
        auto* beacon = control<QPushButton>("Command4");
        setBackColour(beacon, bgr);
        beacon->setText(transmitting ? QStringLiteral("Transmit") : QStringLiteral("Send Beacon"));
        for (const char* name : ModemTransmitOptions)
            control<QRadioButton>(name)->setEnabled(!transmitting);
    });
    connect(mc, &hf::ModemControl::mfskCaption, this,
            [this](const QString& caption) { control<QRadioButton>("Option10")->setText(caption); });
    connect(mc, &hf::ModemControl::tuneButtonColour, this,
            [this](unsigned bgr) { setBackColour(control<QPushButton>("Command3"), bgr); });
    connect(mc, &hf::ModemControl::sendBeaconEnabled, this,
            [this](bool on) { control<QPushButton>("Command4")->setEnabled(on); });

    connect(hf, &hf::HfLink::trafficTextChanged, this,
            [this](const QByteArray& text) { showAtEnd(control<QPlainTextEdit>("Text12"), text); });
    connect(hf, &hf::HfLink::stationHeard, this,
            [this](const QByteArray& source) { addStationHeard(m_hfHeard, "List1", source); });
    connect(hf, &hf::HfLink::messagesChanged, this, [this](messaging::MessagesBackground background) {
        showMessagesText();
        if (background == messaging::MessagesBackground::White)
            setBackColour(control<QPlainTextEdit>("Text8"), White);
        else if (background == messaging::MessagesBackground::Yellow)
            setBackColour(control<QPlainTextEdit>("Text8"), Yellow);
    });
    connect(hf, &hf::HfLink::remoteCommand, ig, &hf::Igate::remoteCommand);
    connect(hf, &hf::HfLink::frameQueued, mc, &hf::ModemControl::frameQueued);
    connect(hf, &hf::HfLink::beaconRequested, this, &MainWindow::sendFixedBeacon);
    // A "cmd:" heard on HF puts a text-mode TNC back into converse, as its own prompt does.
    connect(hf, &hf::HfLink::tncCommandReceived, m_serialTnc.get(), [this] { m_serialTnc->Conver(); });
    connect(hf, &hf::HfLink::ackMatched, this, &MainWindow::enableMessageInput);
    connect(hf, &hf::HfLink::retryFinished, this, [this](bool acknowledged) {
        enableMessageInput();
        if (acknowledged)
            timer(14).start(); // the messages box flashes
    });
    connect(ig, &hf::Igate::titleChanged, this, [this](const QString& text, unsigned bgr) {
        auto* title = control<QLabel>("Label1");
        title->setText(text);
        setBackColour(title, bgr);
    });
    connect(ig, &hf::Igate::messagesChanged, this, &MainWindow::showMessagesText);
    connect(ig, &hf::Igate::tncStationHeard, this,
            [this](const QByteArray& source) { addStationHeard(m_tncHeard, "List2", source); });
}

// --- Sound-card modem: status caption and PTT failures ---------------------------------------
void MainWindow::wireModemStatus()
{
    auto* caption = findChild<QLabel*>(QStringLiteral("LabelModemStatus"));
    auto* meter = findChild<LevelMeter*>(QStringLiteral("XMMVLvl"));
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
    auto* meter = findChild<LevelMeter*>(QStringLiteral("XMMVLvl"));
    const std::array<WaterfallView*, 2> views{findChild<WaterfallView*>(QStringLiteral("XMMVView1")),
                                              findChild<WaterfallView*>(QStringLiteral("XMMVView2"))};
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
    showAtEnd(control<QPlainTextEdit>("Text8"), m_state.messagesText);
    if (m_messageDisplay)
        m_messageDisplay->refresh();
}

void MainWindow::enableMessageInput()
{
    for (const char* name : {"Text2", "Text5", "Text6", "Text7"}) {
        auto* box = control<QLineEdit>(name);
        box->setEnabled(true);
        setBackColour(box, Yellow);
    }
    control<QPushButton>("Command1")->setEnabled(true);
}

void MainWindow::HF_TX()
{
    if (!m_hfLink)
        return;
    const messaging::RaynetFields raynet{bytesOf(control<QLineEdit>("Text5")->text()),
                                         bytesOf(control<QLineEdit>("Text6")->text()),
                                         bytesOf(control<QLineEdit>("Text7")->text())};
    m_hfLink->HF_TX(bytesOf(control<QLineEdit>("Text3")->text()),
                    bytesOf(control<QLineEdit>("Text2")->text()), raynet);
}

} // namespace app
