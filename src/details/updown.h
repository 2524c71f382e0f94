#pragma once
// An up-down control bound to a text box: each step changes the box's number
// by a fixed amount within a range, and so raises the box's own change
// events, exactly as typing the new number would.

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace quillor {

class UpDownControl : public QWidget {
    Q_OBJECT
public:
    UpDownControl(QLineEdit *buddy, int minimum, int maximum, int step, QWidget *parent = nullptr);

    int minimum() const { return m_min; }
    int maximum() const { return m_max; }
    int singleStep() const { return m_step; }
    QLineEdit *buddy() const { return m_buddy; }

public slots:
    void stepUp() { stepBy(1); }
    void stepDown() { stepBy(-1); }

private:
    void stepBy(int steps);

    QLineEdit *m_buddy;
    int m_min, m_max, m_step;
};

} // namespace quillor
