#pragma once
#include <QTimer>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace station {
struct StationState;
}

namespace app {

/// Shows the station's traffic sorted into four running texts: my messages, bulletins,
/// weather-service messages and group messages. It owns no data: it copies the station's
/// buffers into its boxes twice a second; a double click on a box empties the buffer behind it.
class MessageDisplayWindow : public QWidget {
    Q_OBJECT
public:
    explicit MessageDisplayWindow(station::StationState& state, QWidget* parent = nullptr);

    /// Opening: group callsign shown, boxes cyan, refresh started.
    void open();
    /// Copies the buffers into the boxes (the 500 ms refresh).
    void refresh();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPlainTextEdit* makeBox(const QString& name);
    void setGroupDisplay(bool on);
    static void showText(QPlainTextEdit* box, const QByteArray& text);

    station::StationState& m_state;
    QPlainTextEdit* m_my = nullptr;        // myMessagesBox
    QPlainTextEdit* m_bulletins = nullptr; // bulletinsBox
    QPlainTextEdit* m_nws = nullptr;       // weatherBox
    QPlainTextEdit* m_group = nullptr;     // groupBox
    QPlainTextEdit* m_bigGroup = nullptr;  // allGroupBox
    QLineEdit* m_groupCall = nullptr;      // groupCallField
    QLabel* m_secondLabel = nullptr;
    QLabel* m_nwsLabel = nullptr;
    QLabel* m_groupLabel = nullptr;
    QCheckBox* m_groupDisplay = nullptr;
    QTimer m_refresh;
};

} // namespace app
