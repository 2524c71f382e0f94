#include "editing/handlerpageediting.h"

#include "common/validators.h"
#include "details/controltag.h"
#include "details/editlock.h"
#include "details/keygrid.h"
#include "details/pagebuild.h"
#include "editing/greetingwriter.h"
#include "editing/keylocks.h"
#include "editing/messagesettingswriter.h"
#include "editing/profilefields.h"
#include "platform/validatingedit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>

namespace quillor {

HandlerPageEditing::HandlerPageEditing(EditingHost &host, EditLock &lock, qint16 objectType, QObject *parent)
    : QObject(parent), m_host(host), m_lock(lock), m_objectType(objectType), m_memory(new ControlMemory(this))
{
}

void HandlerPageEditing::release(QWidget *control) { m_lock.release(control); }

void HandlerPageEditing::greetingSwitched(int index, QCheckBox *enabled)
{
    applyGreetingEnabledState(index);
    if (loading() || writeGreeting(index))
        return;
    enabled->setChecked(!enabled->isChecked());
    applyGreetingEnabledState(index);
}

void HandlerPageEditing::showStored(QWidget *control)
{
    // A check box just clicked was the other way round before.
    if (auto *box = qobject_cast<QCheckBox *>(control))
        box->setChecked(!box->isChecked());
    else
        m_memory->restore(control);
}

void HandlerPageEditing::greetingChanged(int index, QWidget *control)
{
    if (!loading() && !writeGreeting(index))
        showStored(control);
}

void HandlerPageEditing::messageSettingChanged(QWidget *control)
{
    if (!loading() && !writeMessageSettings())
        showStored(control);
}

void HandlerPageEditing::maxMessageLengthValidate(platform::ValidatingLineEdit *box)
{
    if (loading() || textUnchanged(box, box->text(), TagCompare::Exact))
        return;
    // An empty length would reach the server as no number at all.
    if (box->text().isEmpty() || !MyIsNumber(box->text(), 1, 3600))
        return refuseText(box, QStringLiteral("The max message length must be a number between 1 and 3600 seconds"));
    if (!writeMessageSettings())
        return refuseText(box, {});
    setTag(box, box->text());
}

void HandlerPageEditing::ruleBoxValidate(platform::ValidatingLineEdit *box, bool *cancel, bool keepFocus, bool accepted,
                                         const QString &refusal, const QString &whenEmpty,
                                         const std::function<bool()> &write)
{
    if (loading() || textUnchanged(box, box->text(), TagCompare::Exact))
        return;
    if (!accepted) {
        refuseText(box, refusal);
        *cancel = keepFocus;
        return;
    }
    if (box->text().isEmpty() && !whenEmpty.isEmpty())
        box->setText(whenEmpty);
    if (!write())
        return refuseText(box, {});
    // The box now holds what is stored: typing the old value again is a change.
    setTag(box, box->text());
}

void HandlerPageEditing::ruleControlChanged(QWidget *control, const std::function<bool()> &write)
{
    if (!loading() && !write())
        showStored(control);
}

void HandlerPageEditing::lockAllKeys(const KeyGridWidget *grid, bool bLocked)
{
    QList<KeyGridRow> rows;
    for (int row = KeyGridWidget::kFirstKeyRow; row <= KeyGridWidget::kLastKeyRow; ++row)
        rows << KeyGridRow{KeyGridWidget::keyOfRow(row), grid->menuEntryObjectId(row)};
    SetOneKeyRuleLocks(m_host, m_objectType, rows, bLocked);
}

void HandlerPageEditing::languageChanged(QComboBox *list, const QString &procedure, const QString &keyName,
                                         const QString &auditTable)
{
    if (writeLanguage(m_host, list, {m_objectType, procedure, keyName, auditTable}) == EditResult::NotWritten)
        m_memory->restore(list);
}

void HandlerPageEditing::scheduleChanged(QComboBox *list, const QString &auditTable, bool compareTag)
{
    if (writeSchedule(m_host, list, m_objectType, auditTable, compareTag) != EditResult::NotWritten)
        return;
    if (compareTag)
        selectComboText(list, tag(list)); // the list left shows the stored schedule
    else
        m_memory->restore(list);
}

void HandlerPageEditing::attachGreeting(int index, const GreetingControls &g, const GreetingHandlers &handlers)
{
    // Standard and Error are always played: their switch stays as the page shows it.
    if (index != 0 && index != 5)
        release(g.enabled);
    for (QWidget *control : {static_cast<QWidget *>(g.allowInput), static_cast<QWidget *>(g.source),
                             static_cast<QWidget *>(g.repeat)})
        release(control);
    m_memory->watch(g.source);
    m_memory->watch(g.repeat);
    connect(g.enabled, &QCheckBox::clicked, this, [index, f = handlers.enabled] { f(index); });
    connect(g.allowInput, &QCheckBox::clicked, this, [index, f = handlers.allowInput] { f(index); });
    connect(g.repeat, &QComboBox::activated, this, [index, f = handlers.repeat] { f(index); });
    connect(g.source, &QComboBox::activated, this, [index, f = handlers.source] { f(index); });
}

void HandlerPageEditing::attachMessageSettings(const MessageControls &m, const MessageHandlers &handlers)
{
    for (QWidget *control : {static_cast<QWidget *>(m.maxMessageLength), static_cast<QWidget *>(m.canEditMessages),
                             static_cast<QWidget *>(m.canMarkUrgent)})
        release(control);
    m_memory->watch(m.canMarkUrgent);
    connect(m.maxMessageLength, &platform::ValidatingLineEdit::validating, this, handlers.maxMessageLength);
    connect(m.canEditMessages, &QCheckBox::clicked, this, handlers.canEditMessages);
    connect(m.canMarkUrgent, &QComboBox::activated, this, handlers.canMarkUrgent);
}

void HandlerPageEditing::attachKeyLocks(QAbstractButton *lockAll, QAbstractButton *unlockAll, std::function<void()> onLock,
                                        std::function<void()> onUnlock)
{
    release(lockAll);
    release(unlockAll);
    connect(lockAll, &QAbstractButton::clicked, this, std::move(onLock));
    connect(unlockAll, &QAbstractButton::clicked, this, std::move(onUnlock));
}

GreetingInput HandlerPageEditing::greetingInput(const GreetingControls &g)
{
    GreetingInput in;
    in.enabled = g.enabled->isChecked();
    in.allowInput = g.allowInput->isChecked();
    in.source = storedPosition(g.source);
    in.repeat = storedPosition(g.repeat);
    return in;
}

MessageSettingsInput HandlerPageEditing::messageSettingsInput(const MessageControls &m)
{
    return {platform::checkedText(m.maxMessageLength), m.canEditMessages->isChecked(), storedPosition(m.canMarkUrgent)};
}

} // namespace quillor
