#pragma once
// The number boxes of the detail pages and the up-down controls beside them.
//
// A number box is a spin box with the range and step the server takes. Its
// value counts as changed only when the user commits it (Enter, leaving the
// box, a step of its up-down control), never keystroke by keystroke, so a
// writer connected to valueChanged writes each committed value once. Its own
// arrows are hidden: the up-down control beside it steps it.

#include <QWidget>

class QSpinBox;

namespace quillor {

// A number box named `name` holding `formValue` until the first load.
QSpinBox *numberBox(QWidget *parent, const QString &name, int minimum, int maximum, int step, int formValue);

// Shows a stored number as it is: a value outside the box's range widens the
// range until the next showing, so the box never shows something else than
// is stored. An empty text (Null) leaves the box empty.
void showStoredNumber(QSpinBox *box, const QString &stored);

class UpDownControl : public QWidget {
    Q_OBJECT
public:
    UpDownControl(QSpinBox *buddy, QWidget *parent = nullptr);

    QSpinBox *buddy() const { return m_buddy; }

public slots:
    void stepUp() { stepBy(1); }
    void stepDown() { stepBy(-1); }

private:
    void stepBy(int steps);

    QSpinBox *m_buddy;
};

} // namespace quillor
