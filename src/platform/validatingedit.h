#pragma once
// An edit box that checks its text when the user leaves it and can refuse to
// be left: a handler connected to `validating` that refuses sets the flag (and
// puts the old text back itself); the box then keeps the focus, so the user
// corrects the value before going on. Leaving the window (another program, a
// message box, a menu) is not leaving the box and checks nothing.
//
// The check runs before whatever would leave the box acts. A mouse press is
// decided where its window first receives it, before Qt moves the focus: when
// the window's own focus widget (the application has none while the window is
// inactive) is a box holding an edit and the press is for another control of
// the window that acts, the box is checked first. A refusal that keeps the
// focus drops the press with its moves, its release and the double click it
// may start; any other outcome lets the press act, also after a message box
// took its release (then what acts on a release, a button or a check box, is
// not clicked). Ctrl+Tab, Ctrl+Shift+Tab and Enter on a dialog's default
// button are checked the same way; Tab goes through the focus move. A Cancel
// button (markAsCancelButton), the menu bar, labels and empty places, a popup,
// Escape and a window's close box check nothing.

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
