#pragma once
// An edit box that checks its text when the user leaves it and can refuse to
// be left: a handler connected to `validating` that refuses sets the flag (and
// puts the old text back itself); the box then takes the focus back, so the
// user corrects the value before going on. Leaving the window (another
// program, a message box, a menu) is not leaving the box and checks nothing.

#include <QLineEdit>

namespace quillor::platform {

class ValidatingLineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit ValidatingLineEdit(QWidget *parent = nullptr);
    explicit ValidatingLineEdit(const QString &text, QWidget *parent = nullptr);

    // Runs the checks as leaving the box does; true when the text was accepted.
    // Commands that act on the whole window (closing it, a menu command that
    // reads the box) call it first.
    bool validate();

signals:
    // `*cancel` starts false; a handler that refuses the text sets it true.
    void validating(bool *cancel);

protected:
    void focusOutEvent(QFocusEvent *event) override;

private:
    bool m_validating = false;
};

} // namespace quillor::platform
