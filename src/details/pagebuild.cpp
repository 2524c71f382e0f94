#include "details/pagebuild.h"

#include "details/choicelists.h"
#include "details/editlock.h"
#include "details/keygrid.h"
#include "details/updown.h"
#include "platform/validatingedit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace quillor {

QLineEdit *readOnlyBox(QWidget *parent, const QString &name)
{
    auto *box = named(new QLineEdit(parent), name);
    showReadOnly(box, true);
    return box;
}

QLineEdit *readOnlyBox(QWidget *parent, const char *name, int index)
{
    return readOnlyBox(parent, indexedName(QString::fromLatin1(name), index));
}

void showReadOnly(QLineEdit *box, bool readOnly)
{
    box->setReadOnly(readOnly);
    if (readOnly) {
        QPalette palette = box->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Window));
        box->setPalette(palette);
    } else {
        box->setPalette(QPalette());
    }
}

QLineEdit *hiddenBox(QWidget *parent, const QString &name, const QString &designText)
{
    auto *box = named(new QLineEdit(designText, parent), name);
    box->setReadOnly(true);
    box->hide();
    return box;
}

QWidget *scrolled(QWidget *content, QWidget *parent)
{
    auto *area = new QScrollArea(parent);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidget(content);
    return area;
}

QWidget *withButton(QWidget *parent, QWidget *field, QPushButton *button)
{
    auto *row = new QWidget(parent);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(field, 1);
    layout->addWidget(button);
    return row;
}

QWidget *withUnit(QWidget *parent, QWidget *field, const QString &unit)
{
    auto *row = new QWidget(parent);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(field);
    layout->addWidget(new QLabel(unit, row));
    layout->addStretch(1);
    return row;
}

QWidget *topFrame(QWidget *page, const char *name, int index)
{
    auto *outer = new QVBoxLayout(page);
    auto *frame = named(new QWidget(page), name, index);
    outer->addWidget(frame);
    outer->addStretch(1);
    return frame;
}

QFormLayout *formPage(QWidget *tabs, const QString &name, QWidget **page)
{
    auto *content = new QWidget;
    content->setObjectName(name);
    auto *form = new QFormLayout(content);
    *page = scrolled(content, tabs);
    return form;
}

void clearOptions(std::initializer_list<QRadioButton *> options)
{
    for (QRadioButton *option : options) {
        option->setAutoExclusive(false);
        option->setChecked(false);
        option->setAutoExclusive(true);
    }
}

void setKeyedColumns(QTableWidget *grid, const QStringList &captions, const QStringList &keys)
{
    grid->setColumnCount(int(captions.size()));
    grid->setHorizontalHeaderLabels(captions);
    for (int c = 0; c < grid->columnCount(); ++c)
        grid->horizontalHeaderItem(c)->setData(Qt::UserRole, keys.value(c));
}

int keyedColumn(const QTableWidget *grid, const QString &key)
{
    for (int c = 0; c < grid->columnCount(); ++c) {
        const QTableWidgetItem *header = grid->horizontalHeaderItem(c);
        const QString columnKey = header ? header->data(Qt::UserRole).toString() : QString();
        if (!columnKey.isEmpty() && columnKey.compare(key, Qt::CaseInsensitive) == 0)
            return c;
    }
    return -1;
}

QFormLayout *buildGreeting(QWidget *page, int i, const GreetingNames &n, EditLock &lock, GreetingControls &g)
{
    QWidget *frame = g.frame = topFrame(page, n.frame, i);
    auto *form = new QFormLayout(frame);
    g.enabled = named(new QCheckBox(frame), n.enabled, i);
    g.allowInput = named(new QCheckBox(frame), n.allowInput, i);
    g.afterGreetingAction = readOnlyBox(frame, n.afterGreetingAction, i);
    g.changeAfterGreetingAction = named(new QPushButton(QStringLiteral("Set"), frame), n.changeAfterGreetingAction, i);
    g.source = named(new QComboBox(frame), n.source, i);
    g.repeat = named(new QComboBox(frame), n.repeat, i);
    fillFixedList(g.repeat, greetingRepeatEntries());
    g.streamPath = readOnlyBox(frame, n.streamPath, i);
    g.objectId = hiddenBox(frame, indexedName(QString::fromLatin1(n.objectId), i), QString::fromLatin1(n.objectIdDesignText));
    lock.lock({g.enabled, g.allowInput, g.changeAfterGreetingAction, g.source, g.repeat});

    form->addRow(QStringLiteral("Enabled:"), g.enabled);
    form->addRow(QStringLiteral("Allow User Input:"), g.allowInput);
    form->addRow(QStringLiteral("After Greeting Action:"), withButton(frame, g.afterGreetingAction, g.changeAfterGreetingAction));
    form->addRow(QStringLiteral("Greeting Source:"), g.source);
    form->addRow(QStringLiteral("Repeat Greeting:"), g.repeat);
    form->addRow(QStringLiteral("Greeting Path:"), g.streamPath);
    form->addRow(g.objectId);
    return form;
}

void resetGreeting(const GreetingControls &g)
{
    g.enabled->setChecked(false);
    g.allowInput->setChecked(false);
    g.afterGreetingAction->clear();
    clearComboSelection(g.source);
    clearComboSelection(g.repeat);
    g.streamPath->clear();
    g.objectId->clear();
}

void applyGreetingSwitch(const GreetingControls &g, EditLock &lock)
{
    const bool on = g.enabled->isChecked();
    for (QWidget *control : {static_cast<QWidget *>(g.allowInput), static_cast<QWidget *>(g.changeAfterGreetingAction),
                             static_cast<QWidget *>(g.repeat), static_cast<QWidget *>(g.source),
                             static_cast<QWidget *>(g.afterGreetingAction)})
        lock.setUsable(control, on);
}

void buildMessageRows(QFormLayout *form, QWidget *page, const MessageNames &n, EditLock &lock, MessageControls &m)
{
    m.maxMessageLength = named(new platform::ValidatingLineEdit(page), QString::fromLatin1(n.maxMessageLength));
    m.maxMessageLength->setMaximumWidth(80);
    m.canEditMessages = named(new QCheckBox(page), QString::fromLatin1(n.canEditMessages));
    m.canMarkUrgent = named(new QComboBox(page), QString::fromLatin1(n.canMarkUrgent));
    m.afterMessageAction = readOnlyBox(page, QString::fromLatin1(n.afterMessageAction));
    m.changeAfterMessageAction =
        named(new QPushButton(QStringLiteral("Set"), page), QString::fromLatin1(n.changeAfterMessageAction));
    lock.lock({m.maxMessageLength, m.canEditMessages, m.canMarkUrgent, m.changeAfterMessageAction});

    form->addRow(QStringLiteral("Max Message Length:"), withUnit(page, m.maxMessageLength, QStringLiteral("(seconds)")));
    form->addRow(QStringLiteral("Callers can Edit Messages:"), m.canEditMessages);
    form->addRow(QStringLiteral("Callers can send urgent:"), m.canMarkUrgent);
    form->addRow(QStringLiteral("After Message Action:"), withButton(page, m.afterMessageAction, m.changeAfterMessageAction));
}

QWidget *buildKeyPage(QWidget *parent, const KeyPageNames &n, EditLock &lock, KeyPageControls &k)
{
    auto *page = k.page = named(new QWidget(parent), QString::fromLatin1(n.page));
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("Caller Input Map (double click to edit an entry):"), page));
    k.grid = named(new KeyGridWidget(page), QString::fromLatin1(n.grid));
    layout->addWidget(k.grid, 1);

    auto *delay = new QHBoxLayout;
    delay->addWidget(new QLabel(QStringLiteral("Milliseconds to wait for additional digits:"), page));
    k.delay = numberBox(page, QString::fromLatin1(n.delay), 0, 32000, 100, 1500);
    k.upDown = named(new UpDownControl(k.delay, page), QString::fromLatin1(n.upDown));
    delay->addWidget(k.delay);
    delay->addWidget(k.upDown);
    delay->addStretch(1);
    layout->addLayout(delay);

    auto *buttons = new QHBoxLayout;
    k.lockAll = named(new QPushButton(QStringLiteral("Lock All Keys"), page), QString::fromLatin1(n.lockAll));
    k.unlockAll = named(new QPushButton(QStringLiteral("Unlock All Keys"), page), QString::fromLatin1(n.unlockAll));
    buttons->addWidget(k.lockAll);
    buttons->addWidget(k.unlockAll);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    lock.lock({k.delay, k.upDown, k.lockAll, k.unlockAll});
    return page;
}

} // namespace quillor
