#pragma once
// The machinery of the field handlers: the handlers of every detail page are
// built from these steps, in this order.
//
//   1. Nothing while a page is being filled (EditingHost::bLoadingControls).
//   2. Nothing when the control still shows its Tag (the value loaded or last
//      written): textUnchanged().
//   3. A value the checks refuse: its message, the Tag back in the control,
//      nothing written and no audit line (refuseText()).
//   4. One write through UpdateValue keyed by the shown object (writeField(),
//      or a whole rule through its writer), followed by one audit line.
//   5. Written: the Tag takes the new value. Refused by the server: "Failed to
//      update database" once, FAILED_UPDATE, and the control shows its stored
//      value again (the Tag, or for controls without one, ControlMemory).
//
// A name or an extension that changed lists the grid view again
// (EditingHost::relistGridView) and a new name becomes the title.

#include "editing/editinghost.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QVariant>

#include <functional>

class QAbstractButton;
class QComboBox;
class QDateTimeEdit;
class QLineEdit;
class QWidget;

namespace quillor {

// One column of the shown object written through a procedure.
struct FieldWrite {
    QString procedure;          // "sp_ModifyCallHandler", ...
    QString keyName;            // "CallHandlerObjectID", ...
    QString key;                // the object's ObjectID
    classProcParam value;       // the changed column
    QString auditTable;         // "CallHandler", ...
    QString auditValue;         // the text the audit line records
    bool directorySync = false;
};

// Writes one column of the shown object and appends its audit line (alias
// CurrentlySelectedObject.Alias, no parent, column = the parameter's name).
// A key that is not an ObjectID (an object not found) is never sent: the
// write counts as refused. True when written.
bool writeField(EditingHost &host, const FieldWrite &field);

enum class TagCompare { Exact, IgnoreCase };
// True when `text` is what the control's Tag holds.
bool textUnchanged(const QObject *control, const QString &text, TagCompare compare);

// A refused entry: the message (unless empty), then the Tag back in the box.
void refuseText(QLineEdit *box, const QString &message);

// What a control without a Tag showed before the user changed it, so that a
// refused write can show the stored value again. Each control is remembered
// when the user starts to change it (a press, a key, the wheel, the focus).
class ControlMemory : public QObject {
    Q_OBJECT
public:
    explicit ControlMemory(QObject *parent = nullptr);

    void watch(QComboBox *list);
    void watch(QDateTimeEdit *edit);
    // Two option buttons of one choice.
    void watchPair(QAbstractButton *first, QAbstractButton *second);

    // Puts back what the control showed before the change.
    void restore(QWidget *control) const;
    // Remembers what a watched control shows now, before a handler changes it.
    void remember(QObject *control);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QHash<QObject *, QVariant> m_before;
    QHash<QObject *, QPointer<QAbstractButton>> m_partner;
};

// Runs `onLeave` when the focus leaves `control` for another control of the
// window, as leaving a ValidatingLineEdit does (a list's own popup, a menu or
// another window is not leaving it). For lists whose change is written when
// they are left.
void whenLeft(QWidget *control, QObject *context, std::function<void()> onLeave);

// A command that reloads the page or closes the window while the focus is on
// a control of `area` that checks on leaving runs that check first, as
// leaving the control would: an edit box's, or a list's (whenLeft) when a
// choice was made in it since it was last left. Nothing else is written.
void commitFocusedEdit(const QWidget *area);

} // namespace quillor
