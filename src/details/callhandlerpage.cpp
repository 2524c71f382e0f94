#include "details/callhandlerpage.h"

#include "common/appcontext.h"
#include "common/errors.h"
#include "common/localize.h"
#include "common/objectid.h"
#include "common/switchinfo.h"
#include "common/timefunctions.h"
#include "details/actiontext.h"
#include "details/choicelists.h"
#include "details/controltag.h"
#include "details/keygrid.h"
#include "details/ownerlookup.h"
#include "details/updown.h"
#include "platform/database.h"
#include "platform/seams.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

namespace quillor {

using platform::msgBox;
using platform::Recordset;

namespace {

const char *const kTransferAliases[CallHandlerPage::kTransferRuleCount] = {"Standard", "Off Hours", "Alternate"};
const char *const kGreetingAliases[CallHandlerPage::kGreetingCount] = {"Standard", "Off Hours", "Busy",
                                                                        "Alternate", "Internal", "Error"};
// The transfer pages run Alternate, Standard, Closed; each holds the rule of this index.
constexpr int kTransferPageRule[CallHandlerPage::kTransferRuleCount] = {2, 0, 1};
const char *const kTransferPageCaptions[CallHandlerPage::kTransferRuleCount] = {"Alternate", "Standard", "Closed"};

template <typename T> T *named(T *widget, const QString &name)
{
    widget->setObjectName(name);
    return widget;
}

template <typename T> T *named(T *widget, const char *name, int index)
{
    return named(widget, indexedName(QString::fromLatin1(name), index));
}

QLineEdit *readOnlyBox(QWidget *parent, const QString &name)
{
    auto *box = named(new QLineEdit(parent), name);
    box->setReadOnly(true);
    return box;
}

// Scrolls a page's content when the window is at its smallest.
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

// The frame that holds one rule's controls at the top of its page.
QWidget *topFrame(QWidget *page, const char *name, int index)
{
    auto *outer = new QVBoxLayout(page);
    auto *frame = named(new QWidget(page), name, index);
    outer->addWidget(frame);
    outer->addStretch(1);
    return frame;
}

// Option buttons of one group all cleared (an exclusive group cannot be
// cleared one button at a time).
void clearOptions(std::initializer_list<QRadioButton *> options)
{
    for (QRadioButton *option : options) {
        option->setAutoExclusive(false);
        option->setChecked(false);
        option->setAutoExclusive(true);
    }
}

QString boolText(bool value) { return value ? QStringLiteral("True") : QStringLiteral("False"); }

bool isTrue(const Recordset &rs, const QString &column)
{
    return !rs.isNull(column) && rs.field(column).toInt() != 0;
}

// Selects the entry at the stored position. A Null selects nothing; a code
// the list has no entry for is reported, and selects nothing either.
void selectStoredPosition(QComboBox *combo, const Recordset &rs, const QString &column)
{
    if (rs.isNull(column))
        return;
    if (!selectComboIndex(combo, rs.field(column).toInt()))
        reportError(380, QStringLiteral("Invalid property value"), QStringLiteral("LoadTabCallHandler"),
                    QStringLiteral("Form"), QStringLiteral("frmMain"));
}

// The present moment at noon, as the expiry time picker starts.
QDateTime todayAtNoon(const QDateTime &now) { return QDateTime(now.date(), QTime(12, 0)); }

} // namespace

CallHandlerPage::CallHandlerPage(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("CallHandlerPage"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    tabHandlerInfo = named(new QTabWidget(this), QStringLiteral("tabHandlerInfo"));
    tabHandlerInfo->addTab(createProfilePage(), QStringLiteral("Profile"));
    tabHandlerInfo->addTab(createTransferPage(), QStringLiteral("Transfer"));
    tabHandlerInfo->addTab(createGreetingsPage(), QStringLiteral("Greetings"));
    tabHandlerInfo->addTab(createMessagesPage(), QStringLiteral("Messages"));
    tabHandlerInfo->addTab(createUserInputPage(), QStringLiteral("User Input"));
    layout->addWidget(tabHandlerInfo);

    // The editing commands arrive with the settings writers; until then the
    // buttons would promise a change that nothing makes.
    for (QPushButton *button : {cmdHandlerChangeOwner, cmdHandlerMessagesChangeRecipient, cmdHandlerSetAfterMessageAction,
                                cmdCallHandlerLockAllKeys, cmdCallHandlerUnlockAllKeys})
        button->setEnabled(false);
    for (Greeting &g : greetings)
        g.cmbHandlerGreetingChangeAfterGreetingAction->setEnabled(false);
}

QString CallHandlerPage::transferRuleAlias(int index)
{
    return index >= 0 && index < kTransferRuleCount ? QString::fromLatin1(kTransferAliases[index]) : QString();
}

QString CallHandlerPage::greetingAlias(int index)
{
    return index >= 0 && index < kGreetingCount ? QString::fromLatin1(kGreetingAliases[index]) : QString();
}

QWidget *CallHandlerPage::createProfilePage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("pageHandlerProfile"));
    auto *form = new QFormLayout(page);
    txtHandlerProfileDisplayName = named(new QLineEdit(page), QStringLiteral("txtHandlerProfileDisplayName"));
    txtHandlerProfileAlias = readOnlyBox(page, QStringLiteral("txtHandlerProfileAlias"));
    txtHandlerProfileOwner = readOnlyBox(page, QStringLiteral("txtHandlerProfileOwner"));
    cmdHandlerChangeOwner = named(new QPushButton(QStringLiteral("Change"), page), QStringLiteral("cmdHandlerChangeOwner"));
    cmbHandlerProfileLanguage = named(new QComboBox(page), QStringLiteral("cmbHandlerProfileLanguage"));
    txtHandlerProfileExtension = named(new QLineEdit(page), QStringLiteral("txtHandlerProfileExtension"));
    cmbHandlerProfileSchedule = named(new QComboBox(page), QStringLiteral("cmbHandlerProfileSchedule"));
    txtHandlerProfileSwitch = readOnlyBox(page, QStringLiteral("txtHandlerProfileSwitch"));
    form->addRow(QStringLiteral("Display Name"), txtHandlerProfileDisplayName);
    form->addRow(QStringLiteral("Alias"), txtHandlerProfileAlias);
    form->addRow(QStringLiteral("Owner"), withButton(page, txtHandlerProfileOwner, cmdHandlerChangeOwner));
    form->addRow(QStringLiteral("Language Callers Hear"), cmbHandlerProfileLanguage);
    form->addRow(QStringLiteral("Extension"), txtHandlerProfileExtension);
    form->addRow(QStringLiteral("Schedule"), cmbHandlerProfileSchedule);
    form->addRow(QStringLiteral("Switch Name"), txtHandlerProfileSwitch);
    return scrolled(page, tabHandlerInfo);
}

QWidget *CallHandlerPage::createTransferPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("pageHandlerTransfer"));
    auto *layout = new QVBoxLayout(page);
    tabHandlerTransferInfo = named(new QTabWidget(page), QStringLiteral("tabHandlerTransferInfo"));
    for (int p = 0; p < kTransferRuleCount; ++p) {
        auto *rulePage = new QWidget;
        createTransferRule(kTransferPageRule[p], rulePage);
        tabHandlerTransferInfo->addTab(scrolled(rulePage, tabHandlerTransferInfo),
                                       QString::fromLatin1(kTransferPageCaptions[p]));
    }
    layout->addWidget(tabHandlerTransferInfo);
    return page;
}

void CallHandlerPage::createTransferRule(int i, QWidget *page)
{
    TransferRule &r = transferRules[size_t(i)];
    QWidget *frame = r.frameHandlerTransferInfo = topFrame(page, "frameHandlerTransferInfo", i);
    auto *form = new QFormLayout(frame);
    r.chkHandlerTransferEnabled = named(new QCheckBox(frame), "chkHandlerTransferEnabled", i);
    auto *actions = new QWidget(frame);
    auto *actionLayout = new QVBoxLayout(actions);
    actionLayout->setContentsMargins(0, 0, 0, 0);
    r.optHandlerTransferSendToGreeting = named(new QRadioButton(QStringLiteral("Send caller directly to greeting"), actions),
                                               "optHandlerTransferSendToGreeting", i);
    r.optHandlerTransferAttemptRingPhone =
        named(new QRadioButton(QStringLiteral("Attempt to ring phone"), actions), "optHandlerTransferAttemptRingPhone", i);
    actionLayout->addWidget(r.optHandlerTransferSendToGreeting);
    actionLayout->addWidget(r.optHandlerTransferAttemptRingPhone);
    r.txtHandlerTransferString = named(new QLineEdit(frame), "txtHandlerTransferString", i);
    r.txtHandlerTransferRingstoWait = named(new QLineEdit(frame), "txtHandlerTransferRingstoWait", i);
    r.txtHandlerTransferRingstoWait->setMaximumWidth(80);
    r.cmbHandlerTransferType = named(new QComboBox(frame), "cmbHandlerTransferType", i);
    form->addRow(QStringLiteral("Enabled:"), r.chkHandlerTransferEnabled);
    form->addRow(QStringLiteral("Action:"), actions);
    form->addRow(QStringLiteral(" Transfer String:"), r.txtHandlerTransferString);
    form->addRow(QStringLiteral(" Rings To Wait: "), r.txtHandlerTransferRingstoWait);
    form->addRow(QStringLiteral("Transfer Type:"), r.cmbHandlerTransferType);
}

QWidget *CallHandlerPage::createGreetingsPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("pageHandlerGreetings"));
    auto *layout = new QVBoxLayout(page);
    tabHandlerGreetingInfo = named(new QTabWidget(page), QStringLiteral("tabHandlerGreetingInfo"));
    tabHandlerGreetingInfo->setUsesScrollButtons(true);
    for (int i = 0; i < kGreetingCount; ++i) {
        auto *greetingPage = new QWidget;
        createGreeting(i, greetingPage);
        tabHandlerGreetingInfo->addTab(scrolled(greetingPage, tabHandlerGreetingInfo), greetingAlias(i));
    }
    layout->addWidget(tabHandlerGreetingInfo);
    return page;
}

void CallHandlerPage::createGreeting(int i, QWidget *page)
{
    Greeting &g = greetings[size_t(i)];
    QWidget *frame = g.frameHandlerGreetingInfo = topFrame(page, "frameHandlerGreetingInfo", i);
    auto *form = new QFormLayout(frame);
    g.chkHandlerGreetingEnabled = named(new QCheckBox(frame), "chkHandlerGreetingEnabled", i);
    g.chkHandlerGreetingAllowUserInput = named(new QCheckBox(frame), "chkHandlerGreetingAllowUserInput", i);
    g.txtHandlerGreetingsAfterGreetingAction = named(new QLineEdit(frame), "txtHandlerGreetingsAfterGreetingAction", i);
    g.txtHandlerGreetingsAfterGreetingAction->setReadOnly(true);
    g.cmbHandlerGreetingChangeAfterGreetingAction =
        named(new QPushButton(QStringLiteral("Set"), frame), "cmbHandlerGreetingChangeAfterGreetingAction", i);
    g.cmbHandlerGreetingSource = named(new QComboBox(frame), "cmbHandlerGreetingSource", i);
    g.cmbHandlerGreetingRepeat = named(new QComboBox(frame), "cmbHandlerGreetingRepeat", i);
    fillFixedList(g.cmbHandlerGreetingRepeat, greetingRepeatEntries());
    g.txtCallHandlerGreetingStreamPath = named(new QLineEdit(frame), "txtCallHandlerGreetingStreamPath", i);
    g.txtCallHandlerGreetingStreamPath->setReadOnly(true);
    g.txtHandlerGreetingObjectID = named(new QLineEdit(QStringLiteral("Hidden Object ID Box"), frame),
                                         "txtHandlerGreetingObjectID", i);
    g.txtHandlerGreetingObjectID->hide();
    g.txtHandlerGreetingStreamPath = named(new QLineEdit(QStringLiteral("Hidden Stream Path Box"), frame),
                                           "txtHandlerGreetingStreamPath", i);
    g.txtHandlerGreetingStreamPath->hide();

    g.frameExpireGreeting = named(new QGroupBox(QStringLiteral("Expire Greeting:"), frame), "frameExpireGreeting", i);
    auto *expiry = new QGridLayout(g.frameExpireGreeting);
    g.optExpireGreetingNever = named(new QRadioButton(QStringLiteral("Never"), g.frameExpireGreeting),
                                     "optExpireGreetingNever", i);
    g.optExpireGreetingOnDate = named(new QRadioButton(QStringLiteral("At this time:"), g.frameExpireGreeting),
                                      "optExpireGreetingOnDate", i);
    g.dateGreetingExpire = named(new QDateTimeEdit(g.frameExpireGreeting), "dateGreetingExpire", i);
    g.dateGreetingExpire->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
    g.dateGreetingExpire->setCalendarPopup(true);
    g.timeGreetingExpire = named(new QDateTimeEdit(g.frameExpireGreeting), "timeGreetingExpire", i);
    g.timeGreetingExpire->setDisplayFormat(QLocale().timeFormat(QLocale::ShortFormat));
    expiry->addWidget(g.optExpireGreetingNever, 0, 0, 1, 3);
    expiry->addWidget(g.optExpireGreetingOnDate, 1, 0);
    expiry->addWidget(g.dateGreetingExpire, 1, 1);
    expiry->addWidget(g.timeGreetingExpire, 1, 2);
    expiry->setColumnStretch(1, 1);
    expiry->setColumnStretch(2, 1);

    form->addRow(QStringLiteral("Enabled:"), g.chkHandlerGreetingEnabled);
    form->addRow(QStringLiteral("Allow User Input:"), g.chkHandlerGreetingAllowUserInput);
    form->addRow(QStringLiteral("After Greeting Action:"),
                 withButton(frame, g.txtHandlerGreetingsAfterGreetingAction, g.cmbHandlerGreetingChangeAfterGreetingAction));
    form->addRow(QStringLiteral("Greeting Source:"), g.cmbHandlerGreetingSource);
    form->addRow(QStringLiteral("Repeat Greeting:"), g.cmbHandlerGreetingRepeat);
    form->addRow(QStringLiteral("Greeting Path:"), g.txtCallHandlerGreetingStreamPath);
    form->addRow(g.frameExpireGreeting);
    form->addRow(g.txtHandlerGreetingObjectID);
    form->addRow(g.txtHandlerGreetingStreamPath);
}

QWidget *CallHandlerPage::createMessagesPage()
{
    auto *page = new QWidget;
    pageMessages = page;
    page->setObjectName(QStringLiteral("pageHandlerMessages"));
    auto *form = new QFormLayout(page);
    txtHandlerMessagesRecipient = readOnlyBox(page, QStringLiteral("txtHandlerMessagesRecipient"));
    cmdHandlerMessagesChangeRecipient =
        named(new QPushButton(QStringLiteral("Change"), page), QStringLiteral("cmdHandlerMessagesChangeRecipient"));
    txtHandlerMessagesMaxMessageLength = named(new QLineEdit(page), QStringLiteral("txtHandlerMessagesMaxMessageLength"));
    txtHandlerMessagesMaxMessageLength->setMaximumWidth(80);
    auto *length = new QWidget(page);
    auto *lengthLayout = new QHBoxLayout(length);
    lengthLayout->setContentsMargins(0, 0, 0, 0);
    lengthLayout->addWidget(txtHandlerMessagesMaxMessageLength);
    lengthLayout->addWidget(new QLabel(QStringLiteral("(seconds)"), length));
    lengthLayout->addStretch(1);
    chkHandlerMessagesCanEditMessages = named(new QCheckBox(page), QStringLiteral("chkHandlerMessagesCanEditMessages"));
    cmbHandlerMessagesCanMarkUrgent = named(new QComboBox(page), QStringLiteral("cmbHandlerMessagesCanMarkUrgent"));
    txtHandlerMessagesAfterMessageAction = readOnlyBox(page, QStringLiteral("txtHandlerMessagesAfterMessageAction"));
    cmdHandlerSetAfterMessageAction =
        named(new QPushButton(QStringLiteral("Set"), page), QStringLiteral("cmdHandlerSetAfterMessageAction"));
    form->addRow(QStringLiteral("Message Recipient:"),
                 withButton(page, txtHandlerMessagesRecipient, cmdHandlerMessagesChangeRecipient));
    form->addRow(QStringLiteral("Max Message Length:"), length);
    form->addRow(QStringLiteral("Callers can Edit Messages:"), chkHandlerMessagesCanEditMessages);
    form->addRow(QStringLiteral("Callers can send urgent:"), cmbHandlerMessagesCanMarkUrgent);
    form->addRow(QStringLiteral("After Message Action:"),
                 withButton(page, txtHandlerMessagesAfterMessageAction, cmdHandlerSetAfterMessageAction));
    return scrolled(page, tabHandlerInfo);
}

QWidget *CallHandlerPage::createUserInputPage()
{
    auto *page = new QWidget(tabHandlerInfo);
    pageUserInput = page;
    page->setObjectName(QStringLiteral("pageHandlerUserInput"));
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("Caller Input Map (double click to edit an entry):"), page));
    gridHandlerKeys = named(new KeyGridWidget(page), QStringLiteral("gridHandlerKeys"));
    layout->addWidget(gridHandlerKeys, 1);

    auto *delay = new QHBoxLayout;
    delay->addWidget(new QLabel(QStringLiteral("Milliseconds to wait for additional digits:"), page));
    txtCallHandlerMillisecondsToWaitForAdditionalDigits =
        named(new QLineEdit(QStringLiteral("1500"), page), QStringLiteral("txtCallHandlerMillisecondsToWaitForAdditionalDigits"));
    txtCallHandlerMillisecondsToWaitForAdditionalDigits->setMaximumWidth(70);
    UpDown1 = named(new UpDownControl(txtCallHandlerMillisecondsToWaitForAdditionalDigits, 0, 32000, 100, page),
                    QStringLiteral("UpDown1"));
    delay->addWidget(txtCallHandlerMillisecondsToWaitForAdditionalDigits);
    delay->addWidget(UpDown1);
    delay->addStretch(1);
    layout->addLayout(delay);

    auto *buttons = new QHBoxLayout;
    cmdCallHandlerLockAllKeys = named(new QPushButton(QStringLiteral("Lock All Keys"), page),
                                      QStringLiteral("cmdCallHandlerLockAllKeys"));
    cmdCallHandlerUnlockAllKeys = named(new QPushButton(QStringLiteral("Unlock All Keys"), page),
                                        QStringLiteral("cmdCallHandlerUnlockAllKeys"));
    buttons->addWidget(cmdCallHandlerLockAllKeys);
    buttons->addWidget(cmdCallHandlerUnlockAllKeys);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    return page;
}

void CallHandlerPage::applyGreetingEnabledState(int index)
{
    if (index < 0 || index >= kGreetingCount)
        return;
    Greeting &g = greetings[size_t(index)];
    const bool on = g.chkHandlerGreetingEnabled->isChecked();
    for (QWidget *control : {static_cast<QWidget *>(g.chkHandlerGreetingAllowUserInput),
                             static_cast<QWidget *>(g.cmbHandlerGreetingRepeat),
                             static_cast<QWidget *>(g.cmbHandlerGreetingSource),
                             static_cast<QWidget *>(g.txtHandlerGreetingsAfterGreetingAction),
                             static_cast<QWidget *>(g.optExpireGreetingNever),
                             static_cast<QWidget *>(g.optExpireGreetingOnDate),
                             static_cast<QWidget *>(g.dateGreetingExpire)})
        control->setEnabled(on);
}

void CallHandlerPage::resetControls()
{
    for (QLineEdit *box : {txtHandlerProfileDisplayName, txtHandlerProfileAlias, txtHandlerProfileOwner,
                           txtHandlerProfileExtension, txtHandlerProfileSwitch, txtHandlerMessagesRecipient,
                           txtHandlerMessagesMaxMessageLength, txtHandlerMessagesAfterMessageAction,
                           txtCallHandlerMillisecondsToWaitForAdditionalDigits}) {
        box->clear();
        setTag(box, QString());
    }
    for (QComboBox *combo : {cmbHandlerProfileLanguage, cmbHandlerProfileSchedule, cmbHandlerMessagesCanMarkUrgent}) {
        clearComboSelection(combo);
        setTag(combo, QString());
    }
    chkHandlerMessagesCanEditMessages->setChecked(false);
    for (TransferRule &r : transferRules) {
        r.chkHandlerTransferEnabled->setChecked(false);
        clearOptions({r.optHandlerTransferSendToGreeting, r.optHandlerTransferAttemptRingPhone});
        r.txtHandlerTransferString->clear();
        r.txtHandlerTransferRingstoWait->clear();
        clearComboSelection(r.cmbHandlerTransferType);
        for (QObject *control : std::initializer_list<QObject *>{
                 r.chkHandlerTransferEnabled, r.optHandlerTransferSendToGreeting, r.optHandlerTransferAttemptRingPhone,
                 r.txtHandlerTransferString, r.txtHandlerTransferRingstoWait, r.cmbHandlerTransferType})
            setTag(control, QString());
    }
    for (Greeting &g : greetings) {
        g.chkHandlerGreetingEnabled->setChecked(false);
        g.chkHandlerGreetingAllowUserInput->setChecked(false);
        g.txtHandlerGreetingsAfterGreetingAction->clear();
        clearComboSelection(g.cmbHandlerGreetingSource);
        clearComboSelection(g.cmbHandlerGreetingRepeat);
        g.txtCallHandlerGreetingStreamPath->clear();
        g.txtHandlerGreetingObjectID->clear();
        g.txtHandlerGreetingStreamPath->clear();
        clearOptions({g.optExpireGreetingNever, g.optExpireGreetingOnDate});
    }
    gridHandlerKeys->resetRows();
}

void CallHandlerPage::setRuleGroupsEnabled(bool enabled)
{
    for (TransferRule &r : transferRules)
        r.frameHandlerTransferInfo->setEnabled(enabled);
    for (Greeting &g : greetings)
        g.frameHandlerGreetingInfo->setEnabled(enabled);
    pageMessages->setEnabled(enabled);
    pageUserInput->setEnabled(enabled);
}

bool CallHandlerPage::load(AppContext &ctx, const QString &strObjectID, SelectedObject &selected)
{
    const auto report = [](const platform::DbError &error) {
        reportError(error.number, error.description, QStringLiteral("LoadTabCallHandler"), QStringLiteral("Form"),
                    QStringLiteral("frmMain"));
    };
    const QString &connection = ctx.state().gConnectionString;
    platform::Database &db = ctx.db();
    const QDateTime now = platform::Seams::clock().now();

    // Whatever happens below, nothing of the previous handler stays on the
    // page: what is not reached stays empty and disabled.
    resetControls();
    setRuleGroupsEnabled(false);

    platform::DbError error;
    Recordset handler = db.open(connection, QStringLiteral("SELECT * FROM vw_CallHandler WHERE CallHandlerObjectID=?"),
                                {normalizedObjectId(strObjectID)}, &error);
    if (!handler.isOpen())
        report(error);
    else if (handler.RecordCount() == 0)
        msgBox(QStringLiteral("Error in LoadTabInfo. could not find handler reference:") + strObjectID);
    if (!handler.isOpen() || handler.RecordCount() == 0) {
        tabHandlerInfo->setEnabled(false);
        return false;
    }
    tabHandlerInfo->setEnabled(true);
    handler.MoveFirst();

    selected.ObjectType = 3;
    selected.Alias = handler.text(QStringLiteral("Alias"));
    selected.DisplayName = handler.text(QStringLiteral("TextName"));
    selected.ObjectID = strObjectID;

    // Profile
    {
        qint16 ownerKind = -1;
        QString ownerName;
        if (!handler.isNull(QStringLiteral("AdministratorObjectID")))
            ownerKind = TolvaDBFindSubscriberOrDLbyObjectID(ctx, handler.text(QStringLiteral("AdministratorObjectID")),
                                                            ownerName);
        txtHandlerProfileOwner->setText(ownerName);
        setTag(txtHandlerProfileOwner, QString::number(ownerKind));
        if (ownerKind == -1)
            msgBox(QStringLiteral("Error, no valid owner found for this call handler."));
    }
    txtHandlerProfileAlias->setText(handler.text(QStringLiteral("Alias")));
    txtHandlerProfileDisplayName->setText(handler.text(QStringLiteral("TextName")));
    setTag(txtHandlerProfileDisplayName, txtHandlerProfileDisplayName->text());
    emit titleChanged(handler.text(QStringLiteral("TextName")));
    txtHandlerProfileExtension->setText(handler.text(QStringLiteral("DTMFAccessID")));
    setTag(txtHandlerProfileExtension, txtHandlerProfileExtension->text());

    if (handler.isNull(QStringLiteral("Language"))) {
        selectComboText(cmbHandlerProfileLanguage, QStringLiteral("Inherited"));
    } else {
        bool ok = false;
        const int lcid = handler.text(QStringLiteral("Language")).trimmed().toInt(&ok);
        if (!ok) {
            reportError(13, QStringLiteral("Type mismatch"), QStringLiteral("LoadTabCallHandler"), QStringLiteral("Form"),
                        QStringLiteral("frmMain"));
        } else {
            // The list carries each language's LCID, so the stored LCID picks its
            // entry even where two LCIDs share a three-letter code.
            const int entry = cmbHandlerProfileLanguage->findData(lcid);
            if (entry > 0) {
                selectComboIndex(cmbHandlerProfileLanguage, entry);
            } else {
                const QString name = strLanguageNameFromLCID(lcid);
                selectComboText(cmbHandlerProfileLanguage,
                                name == QLatin1String("(error)") ? QStringLiteral("LCID %1").arg(lcid) : name);
            }
        }
    }
    setTag(cmbHandlerProfileLanguage, cmbHandlerProfileLanguage->currentText());
    if (!handler.isNull(QStringLiteral("ScheduleObjectName")))
        selectComboText(cmbHandlerProfileSchedule, handler.text(QStringLiteral("ScheduleObjectName")));
    setTag(cmbHandlerProfileSchedule, cmbHandlerProfileSchedule->currentText());

    const QVariantList parent{normalizedObjectId(handler.text(QStringLiteral("CallHandlerObjectID")))};
    const auto actionText = [&ctx](const Recordset &rs, const QString &conversation, const QString &action,
                                   const QString &destination) {
        if (rs.isNull(action))
            return QString();
        return strConstructActionString(ctx, rs.text(conversation), qint16(rs.field(action).toInt()), rs.text(destination));
    };

    // Transfer rules
    Recordset rules = db.open(connection, QStringLiteral("SELECT * FROM vw_ContactRule WHERE ParentObjectID=?"), parent, &error);
    if (!rules.isOpen()) {
        report(error);
        return true;
    }
    if (rules.RecordCount() == 0) {
        msgBox(QStringLiteral("Error, could not find contact (transfer) rules for selected call handler"));
        return true;
    }
    rules.MoveFirst();
    if (!rules.isNull(QStringLiteral("SwitchID")))
        txtHandlerProfileSwitch->setText(strGetSwitchName(qint16(rules.field(QStringLiteral("SwitchID")).toInt())));
    for (int i = 0; i < kTransferRuleCount; ++i) {
        rules.MoveFirst();
        if (!rules.Find(QStringLiteral("Alias"), transferRuleAlias(i))) {
            msgBox(QStringLiteral("Error in LoadTabInfo.  Could not find contact rule: %1").arg(i));
            continue;
        }
        TransferRule &r = transferRules[size_t(i)];
        r.frameHandlerTransferInfo->setEnabled(true);
        r.txtHandlerTransferString->setText(rules.text(QStringLiteral("Extension")));
        r.txtHandlerTransferRingstoWait->setText(rules.text(QStringLiteral("TransferRings")).trimmed());
        // Only a stored 0 is a release transfer; anything else, Null too, is supervised.
        const bool release =
            !rules.isNull(QStringLiteral("TransferType")) && rules.field(QStringLiteral("TransferType")).toInt() == 0;
        selectComboText(r.cmbHandlerTransferType, release ? QStringLiteral("Release") : QStringLiteral("Supervised"));
        // Transfer rules are switched off by an expiry date in the past,
        // stored as the server's local time.
        const QDateTime expires = rules.dateField(QStringLiteral("TimeExpires"));
        const bool enabled = !expires.isValid() || expires > now;
        const bool ringPhone = !rules.isNull(QStringLiteral("Action")) && rules.field(QStringLiteral("Action")).toInt() == 1;
        r.chkHandlerTransferEnabled->setChecked(enabled);
        (ringPhone ? r.optHandlerTransferAttemptRingPhone : r.optHandlerTransferSendToGreeting)->setChecked(true);
        r.optHandlerTransferSendToGreeting->setEnabled(enabled);
        r.optHandlerTransferAttemptRingPhone->setEnabled(enabled);
        for (QWidget *field : {static_cast<QWidget *>(r.txtHandlerTransferString),
                               static_cast<QWidget *>(r.txtHandlerTransferRingstoWait),
                               static_cast<QWidget *>(r.cmbHandlerTransferType)})
            field->setEnabled(enabled && ringPhone);
        setTag(r.chkHandlerTransferEnabled, enabled ? QStringLiteral("1") : QStringLiteral("0"));
        setTag(r.optHandlerTransferAttemptRingPhone, boolText(r.optHandlerTransferAttemptRingPhone->isChecked()));
        setTag(r.optHandlerTransferSendToGreeting, boolText(r.optHandlerTransferSendToGreeting->isChecked()));
        setTag(r.cmbHandlerTransferType, r.cmbHandlerTransferType->currentText());
        setTag(r.txtHandlerTransferRingstoWait, r.txtHandlerTransferRingstoWait->text());
        setTag(r.txtHandlerTransferString, r.txtHandlerTransferString->text());
    }

    // Greetings
    rules = db.open(connection, QStringLiteral("SELECT * FROM vw_MessagingRule WHERE ParentObjectID=?"), parent, &error);
    if (!rules.isOpen()) {
        report(error);
        return true;
    }
    if (rules.RecordCount() == 0) {
        msgBox(QStringLiteral("Error, could not find messaging rules (greetings) for the currently selected call handler."));
        return true;
    }
    const QDateTime nowUtc = now.toUTC();
    for (int i = 0; i < kGreetingCount; ++i) {
        rules.MoveFirst();
        if (!rules.Find(QStringLiteral("Alias"), greetingAlias(i))) {
            msgBox(QStringLiteral("Error in LoadTabInfo, could not find messaging rule"));
            continue;
        }
        Greeting &g = greetings[size_t(i)];
        g.frameHandlerGreetingInfo->setEnabled(true);
        g.txtHandlerGreetingsAfterGreetingAction->setText(actionText(
            rules, QStringLiteral("ConversationName"), QStringLiteral("Action"), QStringLiteral("DestinationObjectID")));
        g.chkHandlerGreetingAllowUserInput->setChecked(!isTrue(rules, QStringLiteral("IgnoreDigits")));
        // Greeting expiry is kept in universal time.
        const QDateTime stored = rules.dateField(QStringLiteral("TimeExpires"));
        const QDateTime expiresUtc = stored.isValid() ? QDateTime(stored.date(), stored.time(), Qt::UTC) : QDateTime();
        const bool active = !expiresUtc.isValid() || expiresUtc > nowUtc;
        g.chkHandlerGreetingEnabled->setChecked(active);
        if (active && expiresUtc.isValid()) {
            const QDateTime local = dtUTCToLocal(stored);
            g.dateGreetingExpire->setDateTime(local);
            g.timeGreetingExpire->setDateTime(local);
            g.optExpireGreetingOnDate->setChecked(true);
        } else {
            g.optExpireGreetingNever->setChecked(true);
            g.dateGreetingExpire->setDateTime(now);
            g.timeGreetingExpire->setDateTime(todayAtNoon(now));
        }
        applyGreetingEnabledState(i);
        g.txtCallHandlerGreetingStreamPath->setText(rules.isNull(QStringLiteral("StreamPath"))
                                                        ? QStringLiteral("(none)")
                                                        : rules.text(QStringLiteral("StreamPath")));
        g.txtHandlerGreetingObjectID->setText(rules.text(QStringLiteral("MessagingRuleObjectID")));
        selectStoredPosition(g.cmbHandlerGreetingSource, rules, QStringLiteral("PlayWhat"));
        selectStoredPosition(g.cmbHandlerGreetingRepeat, rules, QStringLiteral("Reprompts"));
    }

    // Message settings
    pageMessages->setEnabled(true);
    {
        qint16 recipientKind = -1;
        QString recipientName;
        if (!handler.isNull(QStringLiteral("RecipientObjectID")))
            recipientKind = TolvaDBFindSubscriberOrDLbyObjectID(ctx, handler.text(QStringLiteral("RecipientObjectID")),
                                                                recipientName);
        txtHandlerMessagesRecipient->setText(recipientName);
        setTag(txtHandlerMessagesRecipient, QString::number(recipientKind));
        if (recipientKind == -1)
            msgBox(QStringLiteral("Error, no valid message recipient found for this call handler"));
    }
    txtHandlerMessagesMaxMessageLength->setText(handler.text(QStringLiteral("MaxMsgLen")).trimmed());
    setTag(txtHandlerMessagesMaxMessageLength, txtHandlerMessagesMaxMessageLength->text());
    chkHandlerMessagesCanEditMessages->setChecked(isTrue(handler, QStringLiteral("EditMsg")));
    selectStoredPosition(cmbHandlerMessagesCanMarkUrgent, handler, QStringLiteral("SendUrgentMsg"));
    txtHandlerMessagesAfterMessageAction->setText(actionText(handler, QStringLiteral("AfterMessageConversation"),
                                                             QStringLiteral("AfterMessageAction"),
                                                             QStringLiteral("AfterMessageObjectID")));
    txtCallHandlerMillisecondsToWaitForAdditionalDigits->setText(handler.text(QStringLiteral("OneKeyDelay")).trimmed());

    // One-key menu
    rules = db.open(connection, QStringLiteral("SELECT * FROM vw_MenuEntry WHERE ParentObjectID=?"),
                    {normalizedObjectId(selected.ObjectID)}, &error);
    if (!rules.isOpen()) {
        report(error);
        return true;
    }
    pageUserInput->setEnabled(true);
    for (int i = 0; i < KeyGridWidget::kKeyCount; ++i) {
        const QString key = KeyGridWidget::keyText(i);
        rules.MoveFirst();
        if (!rules.Find(QStringLiteral("Alias"), key)) {
            msgBox(QStringLiteral("Error, could not find menu entry for selected call handler by alias=") + key);
            continue;
        }
        gridHandlerKeys->setEntry(i, isTrue(rules, QStringLiteral("Locked")),
                                  actionText(rules, QStringLiteral("ConversationName"), QStringLiteral("Action"),
                                             QStringLiteral("DestinationObjectID")),
                                  rules.text(QStringLiteral("MenuEntryObjectID")));
    }
    return true;
}

} // namespace quillor
