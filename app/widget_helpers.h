#pragma once
#include <QColor>
#include <QString>

class QAbstractButton;
class QLineEdit;
class QRadioButton;
class QWidget;

namespace app {

/// Status colours are written as blue-green-red hexadecimal numbers (0xFFFF is yellow).
inline constexpr unsigned LightGrey = 0xEFEFEF;
inline constexpr unsigned Yellow = 0x00FFFF;
inline constexpr unsigned Green = 0x00FF00;
inline constexpr unsigned Red = 0x0000FF;
inline constexpr unsigned Cyan = 0xFFFF00;
inline constexpr unsigned White = 0xFFFFFF;

QColor fromBgr(unsigned bgr);
/// Sets a control's back colour (buttons, labels, text boxes, lists).
void setBackColour(QWidget* widget, unsigned bgr);
/// The back colour last set with setBackColour, as a blue-green-red number.
unsigned backColour(const QWidget* widget);

/// Clears an option button without running its action (an exclusive group would refuse).
void clearOption(QRadioButton* option);
/// Selects an option button as a click would: its action runs.
void selectOption(QRadioButton* option);

/// Forces a text field to upper case on every change, with the cursor put back at the end.
void forceUpperCase(QLineEdit* field);

/// 8-bit field text <-> bytes (Latin-1: one character per byte).
QByteArray bytesOf(const QString& text);
QString textOf(const QByteArray& bytes);

} // namespace app
