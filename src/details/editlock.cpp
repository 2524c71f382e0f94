#include "details/editlock.h"

#include "details/pagebuild.h"

#include <QLineEdit>
#include <QVariant>
#include <QWidget>

namespace quillor {

namespace {
constexpr char kLocked[] = "editLocked";
constexpr char kUnusable[] = "notUsable";
} // namespace

void EditLock::lock(QWidget *control)
{
    if (!control || isLocked(control))
        return;
    control->setProperty(kLocked, true);
    m_locked.append(control);
    apply(control);
}

void EditLock::lock(std::initializer_list<QWidget *> controls)
{
    for (QWidget *control : controls)
        lock(control);
}

void EditLock::release(QWidget *control)
{
    if (!control || !isLocked(control))
        return;
    control->setProperty(kLocked, false);
    m_locked.removeAll(QPointer<QWidget>(control));
    apply(control);
}

void EditLock::releaseAll()
{
    for (QWidget *control : lockedControls())
        release(control);
}

bool EditLock::isLocked(const QWidget *control) const { return control && control->property(kLocked).toBool(); }

bool EditLock::isManaged(const QWidget *control) const { return control && control->property(kLocked).isValid(); }

QList<QWidget *> EditLock::lockedControls() const
{
    QList<QWidget *> controls;
    for (const QPointer<QWidget> &control : m_locked)
        if (control)
            controls << control.data();
    return controls;
}

void EditLock::setUsable(QWidget *control, bool usable)
{
    control->setProperty(kUnusable, !usable);
    apply(control);
}

bool EditLock::isUsable(const QWidget *control) const { return control && !control->property(kUnusable).toBool(); }

void EditLock::apply(QWidget *control)
{
    const bool lockable = control->property(kLocked).isValid();
    const bool locked = control->property(kLocked).toBool();
    const bool usable = !control->property(kUnusable).toBool();
    // A locked text box stays readable and can be copied from; other controls
    // cannot be read-only and are disabled instead. A box that only ever shows
    // a value keeps its read-only state.
    if (auto *box = qobject_cast<QLineEdit *>(control)) {
        if (lockable)
            showReadOnly(box, locked);
        box->setEnabled(usable);
    } else {
        control->setEnabled(usable && !locked);
    }
}

} // namespace quillor
