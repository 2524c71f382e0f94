#include "details/updown.h"

#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace quillor {

UpDownControl::UpDownControl(QLineEdit *buddy, int minimum, int maximum, int step, QWidget *parent)
    : QWidget(parent), m_buddy(buddy), m_min(minimum), m_max(maximum), m_step(step)
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
        connect(button, &QToolButton::clicked, this, up ? &UpDownControl::stepUp : &UpDownControl::stepDown);
        layout->addWidget(button);
    }
}

void UpDownControl::stepBy(int steps)
{
    bool ok = false;
    const int current = m_buddy->text().trimmed().toInt(&ok);
    // A box that holds no number steps from the bottom of the range.
    const int next = std::clamp((ok ? current : m_min) + steps * m_step, m_min, m_max);
    if (!ok || next != current)
        m_buddy->setText(QString::number(next));
}

} // namespace quillor
