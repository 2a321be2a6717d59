#pragma once
#include <QColor>
#include <QString>

#include "station/status_colours.h"

class QAbstractButton;
class QLineEdit;
class QRadioButton;
class QWidget;

namespace app {

using namespace station::colours;

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
