#include "editing/fieldwrite.h"

#include "common/appcontext.h"
#include "common/objectid.h"
#include "details/controltag.h"
#include "platform/seams.h"
#include "platform/validatingedit.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QEvent>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPointer>
#include <QSignalBlocker>

namespace quillor {

bool writeField(EditingHost &host, const FieldWrite &field)
{
    const AuditEntry audit{field.auditTable, host.CurrentlySelectedObject().Alias, {}, {},
                           field.value.strPropertyName};
    if (!isGuidText(field.key)) {
        // No object to write to: refused here rather than sent with an empty key.
        return auditWrite(host.ctx(), false, audit, field.auditValue);
    }
    return writeAndAudit(host.ctx(), field.procedure, {{field.keyName, field.key, 72}, field.value}, audit, field.auditValue,
                         field.directorySync);
}

bool textUnchanged(const QObject *control, const QString &text, TagCompare compare)
{
    return text.compare(tag(control), compare == TagCompare::Exact ? Qt::CaseSensitive : Qt::CaseInsensitive) == 0;
}

void refuseText(QLineEdit *box, const QString &message)
{
    if (!message.isEmpty())
        platform::msgBox(message);
    box->setText(tag(box));
}

// --- ControlMemory -----------------------------------------------------------

ControlMemory::ControlMemory(QObject *parent) : QObject(parent) {}

void ControlMemory::watch(QComboBox *list)
{
    list->installEventFilter(this);
    remember(list);
}

void ControlMemory::watch(QDateTimeEdit *edit)
{
    edit->installEventFilter(this);
    remember(edit);
}

void ControlMemory::watchPair(QAbstractButton *first, QAbstractButton *second)
{
    m_partner.insert(first, second);
    m_partner.insert(second, first);
    first->installEventFilter(this);
    second->installEventFilter(this);
    remember(first);
}

void ControlMemory::remember(QObject *control)
{
    if (auto *list = qobject_cast<QComboBox *>(control)) {
        m_before.insert(control, list->currentIndex());
    } else if (auto *edit = qobject_cast<QDateTimeEdit *>(control)) {
        m_before.insert(control, edit->dateTime());
    } else if (auto *button = qobject_cast<QAbstractButton *>(control)) {
        m_before.insert(control, button->isChecked());
        if (QAbstractButton *partner = m_partner.value(control))
            m_before.insert(partner, partner->isChecked());
    }
}

bool ControlMemory::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::Wheel:
    case QEvent::FocusIn:
        remember(watched);
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void ControlMemory::restore(QWidget *control) const
{
    if (!m_before.contains(control))
        return;
    const QVariant before = m_before.value(control);
    if (auto *list = qobject_cast<QComboBox *>(control)) {
        list->setCurrentIndex(before.toInt());
    } else if (auto *edit = qobject_cast<QDateTimeEdit *>(control)) {
        const QSignalBlocker quiet(edit);
        edit->setDateTime(before.toDateTime());
    } else if (auto *button = qobject_cast<QAbstractButton *>(control)) {
        // Both buttons of a choice as they were, none checked included.
        QList<QAbstractButton *> pair{button};
        if (QAbstractButton *partner = m_partner.value(control))
            pair << partner;
        for (QAbstractButton *b : pair)
            b->setAutoExclusive(false);
        for (QAbstractButton *b : pair)
            b->setChecked(m_before.value(b).toBool());
        for (QAbstractButton *b : pair)
            b->setAutoExclusive(true);
    }
}

// --- whenLeft ----------------------------------------------------------------

namespace {

// Watches one control that checks on leaving. It lives with the control; the
// check belongs to `context` and is not run once that is gone.
class LeaveWatcher : public QObject {
public:
    LeaveWatcher(QWidget *control, QObject *context, std::function<void()> onLeave)
        : QObject(control), m_context(context), m_onLeave(std::move(onLeave))
    {
        // A choice made in a list is pending until the list is left.
        if (auto *list = qobject_cast<QComboBox *>(control))
            connect(list, &QComboBox::activated, this, [this] { m_pending = true; });
    }

    void commitPending()
    {
        if (m_pending)
            leave();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::FocusOut) {
            switch (static_cast<QFocusEvent *>(event)->reason()) {
            case Qt::ActiveWindowFocusReason:
            case Qt::PopupFocusReason:
            case Qt::MenuBarFocusReason:
                break; // the focus left the window or went to the list's own popup
            default:
                leave();
                break;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void leave()
    {
        m_pending = false;
        if (m_context)
            m_onLeave();
    }

    QPointer<QObject> m_context;
    std::function<void()> m_onLeave;
    bool m_pending = false;
};

} // namespace

void whenLeft(QWidget *control, QObject *context, std::function<void()> onLeave)
{
    control->installEventFilter(new LeaveWatcher(control, context, std::move(onLeave)));
}

void commitFocusedEdit(const QWidget *area)
{
    // The window's own focus widget: a window closed or reloaded while
    // inactive (a message box just closed, a close from the taskbar) still
    // holds its edit there.
    QWidget *focus = area->window()->focusWidget();
    if (!focus || !area->isAncestorOf(focus))
        return;
    if (auto *box = qobject_cast<platform::ValidatingLineEdit *>(focus))
        box->validate();
    else
        for (QObject *child : focus->children())
            if (auto *watcher = dynamic_cast<LeaveWatcher *>(child))
                watcher->commitPending();
}

} // namespace quillor
