#pragma once
// An edit box that checks its text when the user leaves it and can refuse to
// be left: a handler connected to `validating` that refuses sets the flag (and
// puts the old text back itself); the box then keeps the focus, so the user
// corrects the value before going on. Leaving the window (another program, a
// message box, a menu) is not leaving the box and checks nothing.
//
// The check runs before whatever would leave the box acts: a mouse press on
// any other control of the window (one that takes no focus too, such as an
// up-down arrow, a tab or a button) and Enter on a dialog's default button
// first run the check of a box that holds an edit; a refusal that keeps the
// focus drops that press (and its release) or that key, so the click never
// acts. A refusal that lets the focus go lets the press act on what the
// check left in the box, unless the user let go of the mouse while the
// check's message was shown (that click is over). A Cancel button (markAsCancelButton, or the
// rejecting button of a QDialogButtonBox), Escape and a window's close box
// throw the edit away with the window and check nothing.

#include <QLineEdit>

class QAbstractButton;

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

    // True while the box holds text the user typed (or text a refusal that
    // kept the focus left) that no check has accepted yet. Text a program
    // puts into the box is no edit.
    bool holdsEdit() const { return m_holdsEdit; }
    // Runs the check when the box holds an edit; true when its text stands.
    // Inside the box's own check it does nothing (the handler reads the text
    // it is checking).
    bool settle();

signals:
    // `*cancel` starts false; a handler that refuses the text sets it true.
    void validating(bool *cancel);

protected:
    void focusOutEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void init();

    bool m_validating = false;
    bool m_typed = false;     // the text change under way comes from the user
    bool m_holdsEdit = false; // see holdsEdit()
    bool m_checked = false;   // accepted by a check, unchanged since: leaving needs no second check
};

// Marks `button` as its window's Cancel button: pressing it leaves a box
// without checking it, since the edit goes with the window.
void markAsCancelButton(QAbstractButton *button);

// The text of `box` for code that reads it without leaving it (a writer of
// the page): an edit the user left in the box is checked first, so what is
// read is either accepted or what the check put back.
QString checkedText(ValidatingLineEdit *box);

} // namespace quillor::platform
