#include "app/widget_helpers.h"

#include <QButtonGroup>
#include <QLineEdit>
#include <QRadioButton>
#include <QVariant>

namespace app {

QColor fromBgr(unsigned bgr)
{
    return QColor(static_cast<int>(bgr & 0xff), static_cast<int>((bgr >> 8) & 0xff),
                  static_cast<int>((bgr >> 16) & 0xff));
}

void setBackColour(QWidget* widget, unsigned bgr)
{
    if (!widget)
        return;
    // Setting a style sheet restyles the widget and its children: only when the colour changes.
    if (widget->property("backColour") == QVariant(bgr) && !widget->styleSheet().isEmpty())
        return;
    widget->setProperty("backColour", bgr);
    const QColor c = fromBgr(bgr);
    widget->setStyleSheet(QStringLiteral("background-color: %1;").arg(c.name()));
}

unsigned backColour(const QWidget* widget)
{
    const QVariant v = widget ? widget->property("backColour") : QVariant();
    return v.isValid() ? v.toUInt() : LightGrey;
}

void clearOption(QRadioButton* option)
{
    if (!option || !option->isChecked())
        return;
    QButtonGroup* group = option->group();
    const bool groupExclusive = group && group->exclusive();
    if (group)
        group->setExclusive(false);
    const bool exclusive = option->autoExclusive();
    option->setAutoExclusive(false);
    option->setChecked(false);
    option->setAutoExclusive(exclusive);
    if (group)
        group->setExclusive(groupExclusive);
}

void selectOption(QRadioButton* option)
{
    if (!option)
        return;
    if (option->isChecked())
        emit option->toggled(true); // a click on the selected option runs its action again
    else
        option->setChecked(true);
}

void forceUpperCase(QLineEdit* field)
{
    QObject::connect(field, &QLineEdit::textChanged, field, [field](const QString& text) {
        const QString upper = text.toUpper();
        if (upper != text) {
            field->setText(upper);
            field->setCursorPosition(static_cast<int>(upper.size()));
        }
    });
}

QByteArray bytesOf(const QString& text)
{
    return text.toLatin1();
}

QString textOf(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes);
}

} // namespace app
