#include "app/message_display_window.h"

#include "app/widget_helpers.h"

#include "platform/clock.h"
#include "station/station_state.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

namespace app {

MessageDisplayWindow::MessageDisplayWindow(station::StationState& state, QWidget* parent)
    : QWidget(parent, Qt::Window), m_state(state)
{
    setObjectName(QStringLiteral("MessageDisplay"));
    setWindowTitle(QString());
    resize(640, 720);
    m_refresh.setParent(this);
    m_refresh.setObjectName(QStringLiteral("refreshTimer"));
    connect(&m_refresh, &QTimer::timeout, this, &MessageDisplayWindow::refresh);

    auto* v = new QVBoxLayout(this);
    v->addWidget(new QLabel(QStringLiteral("My messages")));
    m_my = makeBox(QStringLiteral("myMessagesBox"));
    v->addWidget(m_my, 1);

    auto* lower = new QGridLayout;
    m_secondLabel = new QLabel(QStringLiteral("Bulletins"));
    lower->addWidget(m_secondLabel, 0, 0);
    m_bulletins = makeBox(QStringLiteral("bulletinsBox"));
    lower->addWidget(m_bulletins, 1, 0);
    m_nwsLabel = new QLabel(QStringLiteral("NWS"));
    lower->addWidget(m_nwsLabel, 2, 0);
    m_nws = makeBox(QStringLiteral("weatherBox"));
    lower->addWidget(m_nws, 3, 0);
    m_groupLabel = new QLabel(QStringLiteral("Group messages"));
    lower->addWidget(m_groupLabel, 4, 0);
    m_group = makeBox(QStringLiteral("groupBox"));
    lower->addWidget(m_group, 5, 0);
    m_bigGroup = makeBox(QStringLiteral("allGroupBox")); // covers the three lower boxes
    lower->addWidget(m_bigGroup, 1, 0, 5, 1);
    m_bigGroup->hide();
    v->addLayout(lower, 3);

    auto* bottom = new QGridLayout;
    bottom->addWidget(new QLabel(QStringLiteral("Group callsign")), 0, 0);
    m_groupCall = new QLineEdit;
    m_groupCall->setObjectName(QStringLiteral("groupCallField"));
    connect(m_groupCall, &QLineEdit::textEdited, this,
            [this] { m_groupCall->setText(textOf(m_state.groupCall)); });
    bottom->addWidget(m_groupCall, 0, 1);
    bottom->addWidget(new QLabel(QStringLiteral("Enter group call on start up page")), 0, 2);
    m_groupDisplay = new QCheckBox(QStringLiteral("Group display"));
    m_groupDisplay->setObjectName(QStringLiteral("groupOnlyCheck"));
    connect(m_groupDisplay, &QCheckBox::toggled, this, &MessageDisplayWindow::setGroupDisplay);
    bottom->addWidget(m_groupDisplay, 1, 0);
    bottom->addWidget(new QLabel(QStringLiteral("Double click on text boxes to clear message text")), 1, 1, 1,
                      2);
    v->addLayout(bottom);
}

QPlainTextEdit* MessageDisplayWindow::makeBox(const QString& name)
{
    auto* box = new QPlainTextEdit;
    box->setObjectName(name);
    box->setReadOnly(true);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->viewport()->installEventFilter(this);
    return box;
}

void MessageDisplayWindow::open()
{
    m_groupCall->setText(textOf(m_state.groupCall));
    for (QPlainTextEdit* box : {m_my, m_bulletins, m_nws, m_group, m_bigGroup})
        setBackColour(box, Cyan);
    setBackColour(m_groupCall, Cyan);
    platform::Clock::setDesignInterval(m_refresh, 500);
    m_refresh.start();
    refresh();
    show();
}

void MessageDisplayWindow::showText(QPlainTextEdit* box, const QByteArray& text)
{
    const QString t = textOf(text);
    if (box->toPlainText() == t)
        return;
    box->setPlainText(t);
    box->moveCursor(QTextCursor::End);
    box->verticalScrollBar()->setValue(box->verticalScrollBar()->maximum());
}

void MessageDisplayWindow::refresh()
{
    showText(m_my, m_state.messagesText);
    showText(m_bulletins, m_state.bulletinList);
    showText(m_nws, m_state.nwsList);
    showText(m_group, m_state.groupList);
    showText(m_bigGroup, m_state.groupList);
}

void MessageDisplayWindow::setGroupDisplay(bool on)
{
    m_secondLabel->setText(on ? QStringLiteral("Group messages") : QStringLiteral("Bulletins"));
    for (QWidget* w :
         {static_cast<QWidget*>(m_bulletins), static_cast<QWidget*>(m_nws), static_cast<QWidget*>(m_group),
          static_cast<QWidget*>(m_nwsLabel), static_cast<QWidget*>(m_groupLabel)})
        w->setVisible(!on);
    m_bigGroup->setVisible(on);
}

bool MessageDisplayWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == m_my->viewport())
            m_state.messagesText.clear();
        else if (watched == m_bulletins->viewport())
            m_state.bulletinList.clear();
        else if (watched == m_nws->viewport())
            m_state.nwsList.clear();
        else if (watched == m_group->viewport() || watched == m_bigGroup->viewport())
            m_state.groupList.clear();
    }
    return QWidget::eventFilter(watched, event);
}

void MessageDisplayWindow::closeEvent(QCloseEvent* event)
{
    m_refresh.stop();
    hide();
    event->accept();
}

} // namespace app
