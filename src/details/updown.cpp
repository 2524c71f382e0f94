#include "details/updown.h"

#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace quillor {

namespace {
// The range the server takes, kept apart from the range a stored value widened.
constexpr char kMinimum[] = "designedMinimum";
constexpr char kMaximum[] = "designedMaximum";
} // namespace

QSpinBox *numberBox(QWidget *parent, const QString &name, int minimum, int maximum, int step, int formValue)
{
    auto *box = new QSpinBox(parent);
    box->setObjectName(name);
    box->setRange(minimum, maximum);
    box->setProperty(kMinimum, minimum);
    box->setProperty(kMaximum, maximum);
    box->setSingleStep(step);
    box->setValue(formValue);
    box->setKeyboardTracking(false);
    box->setButtonSymbols(QAbstractSpinBox::NoButtons);
    box->setMaximumWidth(70);
    return box;
}

void showStoredNumber(QSpinBox *box, const QString &stored)
{
    int minimum = box->property(kMinimum).toInt();
    int maximum = box->property(kMaximum).toInt();
    bool ok = false;
    const int value = stored.trimmed().toInt(&ok);
    if (ok) {
        minimum = std::min(minimum, value);
        maximum = std::max(maximum, value);
    }
    box->setRange(minimum, maximum);
    if (ok)
        box->setValue(value);
    else
        box->clear();
}

UpDownControl::UpDownControl(QSpinBox *buddy, QWidget *parent) : QWidget(parent), m_buddy(buddy)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (const bool up : {true, false}) {
        auto *button = new QToolButton(this);
        button->setObjectName(up ? QStringLiteral("up") : QStringLiteral("down"));
        button->setArrowType(up ? Qt::UpArrow : Qt::DownArrow);
        button->setAutoRepeat(true);
        button->setFixedSize(18, 11);
        // A mouse control: the keyboard steps the number box itself, so Tab passes it by.
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QToolButton::clicked, this, up ? &UpDownControl::stepUp : &UpDownControl::stepDown);
        layout->addWidget(button);
    }
}

void UpDownControl::stepBy(int steps)
{
    // A text typed but not yet committed is taken first; the step and the
    // typed text then change the value once.
    if (m_buddy->isEnabled() && !m_buddy->isReadOnly())
        m_buddy->stepBy(steps);
}

} // namespace quillor
