#pragma once
// The controls of a detail page that a user could change but that nothing
// writes yet.
//
// A page locks each of its editable controls when it builds them: a text box
// becomes read-only (and is drawn so), any other control is disabled. The
// code that connects a control's writer releases that control, and from then
// on the control is as usable as the page's loader makes it. The loaders never
// call setEnabled on a lockable control themselves; they say whether it is
// usable through setUsable, which the lock combines with its own state. So a
// user can never type or click a change that is silently dropped.

#include <QList>
#include <QPointer>

#include <initializer_list>

class QWidget;

namespace quillor {

class EditLock {
public:
    void lock(QWidget *control);
    void lock(std::initializer_list<QWidget *> controls);
    // The writer of `control` is connected: it shows the state the loader gave it.
    void release(QWidget *control);
    void releaseAll();
    bool isLocked(const QWidget *control) const;
    // Whether the page put `control` under the lock: locked now, or released
    // by the code that connected its writer.
    bool isManaged(const QWidget *control) const;
    QList<QWidget *> lockedControls() const;

    // Whether the page's content lets the user use `control` now (a greeting
    // switched off, a transfer rule that does not ring the phone: not usable).
    // A locked control stays read-only or disabled whatever this says.
    void setUsable(QWidget *control, bool usable);
    bool isUsable(const QWidget *control) const;

private:
    static void apply(QWidget *control);
    QList<QPointer<QWidget>> m_locked;
};

} // namespace quillor
