#pragma once
// Building blocks of the detail pages: named controls, read-only boxes, the
// scrolled page, a field with its button, grids whose columns are found by
// key, and the groups the call handler and subscriber pages share (one
// greeting, the message settings, the one-key menu page).

#include "details/controltag.h"

#include <QString>
#include <QStringList>

#include <initializer_list>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableWidget;
class QWidget;

namespace quillor {

namespace platform {
class ValidatingLineEdit;
}

class EditLock;
class KeyGridWidget;
class UpDownControl;

template <typename T> T *named(T *widget, const QString &name)
{
    widget->setObjectName(name);
    return widget;
}

// Element `index` of a control array, named "name(index)".
template <typename T> T *named(T *widget, const char *name, int index)
{
    return named(widget, indexedName(QString::fromLatin1(name), index));
}

// A box that only shows a value: read-only and drawn on the window's colour.
QLineEdit *readOnlyBox(QWidget *parent, const QString &name);
QLineEdit *readOnlyBox(QWidget *parent, const char *name, int index);
void showReadOnly(QLineEdit *box, bool readOnly);
// A box that holds an id for the page's writers and is never shown.
QLineEdit *hiddenBox(QWidget *parent, const QString &name, const QString &designText = {});

// Scrolls a page's content when the window is at its smallest.
QWidget *scrolled(QWidget *content, QWidget *parent);
QWidget *withButton(QWidget *parent, QWidget *field, QPushButton *button);
// A text box followed by a unit ("(seconds)").
QWidget *withUnit(QWidget *parent, QWidget *field, const QString &unit);
// A frame named `name(index)` at the top of `page`, with room below it.
QWidget *topFrame(QWidget *page, const char *name, int index);
// A page of a tab control laid out as a form, scrolled when it is tall.
QFormLayout *formPage(QWidget *tabs, const QString &name, QWidget **page);

// Option buttons of one group all cleared (an exclusive group cannot be
// cleared one button at a time).
void clearOptions(std::initializer_list<QRadioButton *> options);

// Grid columns with captions, each also keyed so that code finds it by key.
void setKeyedColumns(QTableWidget *grid, const QStringList &captions, const QStringList &keys);
// The position of a column key (without regard to case); -1 for none.
int keyedColumn(const QTableWidget *grid, const QString &key);

// The controls one greeting has on both handler pages.
struct GreetingControls {
    QWidget *frame = nullptr;
    QCheckBox *enabled = nullptr;
    QCheckBox *allowInput = nullptr;
    QLineEdit *afterGreetingAction = nullptr;
    QPushButton *changeAfterGreetingAction = nullptr;
    QComboBox *source = nullptr;
    QComboBox *repeat = nullptr;
    QLineEdit *streamPath = nullptr;
    QLineEdit *objectId = nullptr; // hidden
};
struct GreetingNames {
    const char *frame, *enabled, *allowInput, *afterGreetingAction, *changeAfterGreetingAction, *source, *repeat,
        *streamPath, *objectId, *objectIdDesignText;
};
// Lays out greeting `index` on `page`; the form is returned for the page's own rows.
QFormLayout *buildGreeting(QWidget *page, int index, const GreetingNames &names, EditLock &lock, GreetingControls &g);
// Back to empty: no tick, no selection, no action, path or ObjectID.
void resetGreeting(const GreetingControls &g);
// The greeting's switch decides which of its controls can be used.
void applyGreetingSwitch(const GreetingControls &g, EditLock &lock);

// The message settings both handler pages show.
struct MessageControls {
    platform::ValidatingLineEdit *maxMessageLength = nullptr;
    QCheckBox *canEditMessages = nullptr;
    QComboBox *canMarkUrgent = nullptr;
    QLineEdit *afterMessageAction = nullptr;
    QPushButton *changeAfterMessageAction = nullptr;
};
struct MessageNames {
    const char *maxMessageLength, *canEditMessages, *canMarkUrgent, *afterMessageAction, *changeAfterMessageAction;
};
void buildMessageRows(QFormLayout *form, QWidget *page, const MessageNames &names, EditLock &lock, MessageControls &m);

// The one-key menu page both handler pages show.
struct KeyPageControls {
    QWidget *page = nullptr;
    KeyGridWidget *grid = nullptr;
    QSpinBox *delay = nullptr;
    UpDownControl *upDown = nullptr;
    QPushButton *lockAll = nullptr;
    QPushButton *unlockAll = nullptr;
};
struct KeyPageNames {
    const char *page, *grid, *delay, *upDown, *lockAll, *unlockAll;
};
QWidget *buildKeyPage(QWidget *parent, const KeyPageNames &names, EditLock &lock, KeyPageControls &k);

} // namespace quillor
