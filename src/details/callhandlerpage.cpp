#include "details/callhandlerpage.h"

#include "common/appcontext.h"
#include "common/formatting.h"
#include "common/objectid.h"
#include "common/switchinfo.h"
#include "common/timefunctions.h"
#include "details/controltag.h"
#include "details/keygrid.h"
#include "details/updown.h"
#include "platform/database.h"
#include "platform/seams.h"
#include "platform/validatingedit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace quillor {

using platform::msgBox;
using platform::Recordset;

namespace {

// The transfer pages run Alternate, Standard, Closed; each holds the rule of this index.
constexpr int kTransferPageRule[CallHandlerPage::kTransferRuleCount] = {2, 0, 1};
const char *const kTransferPageCaptions[CallHandlerPage::kTransferRuleCount] = {"Alternate", "Standard", "Closed"};

// The present moment at noon, as the expiry time picker starts.
QDateTime todayAtNoon(const QDateTime &now) { return QDateTime(now.date(), QTime(12, 0)); }

} // namespace

CallHandlerPage::CallHandlerPage(QWidget *parent) : DetailPage(parent)
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
}

QWidget *CallHandlerPage::createProfilePage()
{
    QWidget *page = nullptr;
    QFormLayout *form = formPage(tabHandlerInfo, QStringLiteral("pageHandlerProfile"), &page);
    QWidget *content = form->parentWidget();
    txtHandlerProfileDisplayName =
        named(new platform::ValidatingLineEdit(content), QStringLiteral("txtHandlerProfileDisplayName"));
    txtHandlerProfileAlias = readOnlyBox(content, QStringLiteral("txtHandlerProfileAlias"));
    txtHandlerProfileOwner = readOnlyBox(content, QStringLiteral("txtHandlerProfileOwner"));
    cmdHandlerChangeOwner = named(new QPushButton(QStringLiteral("Change"), content), QStringLiteral("cmdHandlerChangeOwner"));
    cmbHandlerProfileLanguage = named(new QComboBox(content), QStringLiteral("cmbHandlerProfileLanguage"));
    txtHandlerProfileExtension = named(new platform::ValidatingLineEdit(content), QStringLiteral("txtHandlerProfileExtension"));
    cmbHandlerProfileSchedule = named(new QComboBox(content), QStringLiteral("cmbHandlerProfileSchedule"));
    txtHandlerProfileSwitch = readOnlyBox(content, QStringLiteral("txtHandlerProfileSwitch"));
    m_lock.lock({txtHandlerProfileDisplayName, cmdHandlerChangeOwner, cmbHandlerProfileLanguage, txtHandlerProfileExtension,
                 cmbHandlerProfileSchedule});
    form->addRow(QStringLiteral("Display Name"), txtHandlerProfileDisplayName);
    form->addRow(QStringLiteral("Alias"), txtHandlerProfileAlias);
    form->addRow(QStringLiteral("Owner"), withButton(content, txtHandlerProfileOwner, cmdHandlerChangeOwner));
    form->addRow(QStringLiteral("Language Callers Hear"), cmbHandlerProfileLanguage);
    form->addRow(QStringLiteral("Extension"), txtHandlerProfileExtension);
    form->addRow(QStringLiteral("Schedule"), cmbHandlerProfileSchedule);
    form->addRow(QStringLiteral("Switch Name"), txtHandlerProfileSwitch);
    return page;
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
    r.txtHandlerTransferString = named(new platform::ValidatingLineEdit(frame), "txtHandlerTransferString", i);
    r.txtHandlerTransferRingstoWait = named(new platform::ValidatingLineEdit(frame), "txtHandlerTransferRingstoWait", i);
    r.txtHandlerTransferRingstoWait->setMaximumWidth(80);
    r.cmbHandlerTransferType = named(new QComboBox(frame), "cmbHandlerTransferType", i);
    m_lock.lock({r.chkHandlerTransferEnabled, r.optHandlerTransferSendToGreeting, r.optHandlerTransferAttemptRingPhone,
                 r.txtHandlerTransferString, r.txtHandlerTransferRingstoWait, r.cmbHandlerTransferType});
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
        tabHandlerGreetingInfo->addTab(scrolled(greetingPage, tabHandlerGreetingInfo), greetingRuleAlias(i));
    }
    layout->addWidget(tabHandlerGreetingInfo);
    return page;
}

void CallHandlerPage::createGreeting(int i, QWidget *page)
{
    static const GreetingNames names{"frameHandlerGreetingInfo",
                                     "chkHandlerGreetingEnabled",
                                     "chkHandlerGreetingAllowUserInput",
                                     "txtHandlerGreetingsAfterGreetingAction",
                                     "cmbHandlerGreetingChangeAfterGreetingAction",
                                     "cmbHandlerGreetingSource",
                                     "cmbHandlerGreetingRepeat",
                                     "txtCallHandlerGreetingStreamPath",
                                     "txtHandlerGreetingObjectID",
                                     "Hidden Object ID Box"};
    Greeting &g = greetings[size_t(i)];
    QFormLayout *form = buildGreeting(page, i, names, m_lock, g.common);
    QWidget *frame = g.frameHandlerGreetingInfo = g.common.frame;
    g.chkHandlerGreetingEnabled = g.common.enabled;
    g.chkHandlerGreetingAllowUserInput = g.common.allowInput;
    g.txtHandlerGreetingsAfterGreetingAction = g.common.afterGreetingAction;
    g.cmbHandlerGreetingChangeAfterGreetingAction = g.common.changeAfterGreetingAction;
    g.cmbHandlerGreetingSource = g.common.source;
    g.cmbHandlerGreetingRepeat = g.common.repeat;
    g.txtCallHandlerGreetingStreamPath = g.common.streamPath;
    g.txtHandlerGreetingObjectID = g.common.objectId;
    g.txtHandlerGreetingStreamPath =
        hiddenBox(frame, indexedName(QStringLiteral("txtHandlerGreetingStreamPath"), i), QStringLiteral("Hidden Stream Path Box"));

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
    // Wall-clock fields: a time the clock skips in spring is kept, not turned into midnight.
    holdLocalFields(g.dateGreetingExpire);
    holdLocalFields(g.timeGreetingExpire);
    // SQL Server's datetime starts on 1753-01-01 (an earlier date is refused);
    // one day later, so no shift between local and universal time goes below it.
    // Set after the fields are held: switching the editor to universal time moves the minimum by the local offset.
    g.dateGreetingExpire->setMinimumDate(QDate(1753, 1, 2));
    expiry->addWidget(g.optExpireGreetingNever, 0, 0, 1, 3);
    expiry->addWidget(g.optExpireGreetingOnDate, 1, 0);
    expiry->addWidget(g.dateGreetingExpire, 1, 1);
    expiry->addWidget(g.timeGreetingExpire, 1, 2);
    expiry->setColumnStretch(1, 1);
    expiry->setColumnStretch(2, 1);
    m_lock.lock({g.optExpireGreetingNever, g.optExpireGreetingOnDate, g.dateGreetingExpire, g.timeGreetingExpire});
    form->insertRow(form->rowCount() - 1, g.frameExpireGreeting);
    form->addRow(g.txtHandlerGreetingStreamPath);
}

QWidget *CallHandlerPage::createMessagesPage()
{
    static const MessageNames names{"txtHandlerMessagesMaxMessageLength", "chkHandlerMessagesCanEditMessages",
                                    "cmbHandlerMessagesCanMarkUrgent", "txtHandlerMessagesAfterMessageAction",
                                    "cmdHandlerSetAfterMessageAction"};
    QWidget *scroll = nullptr;
    QFormLayout *form = formPage(tabHandlerInfo, QStringLiteral("pageHandlerMessages"), &scroll);
    QWidget *page = pageMessages = form->parentWidget();
    txtHandlerMessagesRecipient = readOnlyBox(page, QStringLiteral("txtHandlerMessagesRecipient"));
    cmdHandlerMessagesChangeRecipient =
        named(new QPushButton(QStringLiteral("Change"), page), QStringLiteral("cmdHandlerMessagesChangeRecipient"));
    m_lock.lock(cmdHandlerMessagesChangeRecipient);
    form->addRow(QStringLiteral("Message Recipient:"),
                 withButton(page, txtHandlerMessagesRecipient, cmdHandlerMessagesChangeRecipient));
    buildMessageRows(form, page, names, m_lock, messages);
    txtHandlerMessagesMaxMessageLength = messages.maxMessageLength;
    chkHandlerMessagesCanEditMessages = messages.canEditMessages;
    cmbHandlerMessagesCanMarkUrgent = messages.canMarkUrgent;
    txtHandlerMessagesAfterMessageAction = messages.afterMessageAction;
    cmdHandlerSetAfterMessageAction = messages.changeAfterMessageAction;
    return scroll;
}

QWidget *CallHandlerPage::createUserInputPage()
{
    static const KeyPageNames names{"pageHandlerUserInput", "gridHandlerKeys", "txtCallHandlerMillisecondsToWaitForAdditionalDigits",
                                    "UpDown1", "cmdCallHandlerLockAllKeys", "cmdCallHandlerUnlockAllKeys"};
    KeyPageControls k;
    QWidget *page = pageUserInput = buildKeyPage(tabHandlerInfo, names, m_lock, k);
    gridHandlerKeys = k.grid;
    txtCallHandlerMillisecondsToWaitForAdditionalDigits = k.delay;
    UpDown1 = k.upDown;
    cmdCallHandlerLockAllKeys = k.lockAll;
    cmdCallHandlerUnlockAllKeys = k.unlockAll;
    return page;
}

void CallHandlerPage::applyGreetingEnabledState(int index)
{
    if (index < 0 || index >= kGreetingCount)
        return;
    const Greeting &g = greetings[size_t(index)];
    applyGreetingSwitch(g.common, m_lock);
    // The expiry time picker is not switched with its greeting.
    const bool on = g.chkHandlerGreetingEnabled->isChecked();
    for (QWidget *control : {static_cast<QWidget *>(g.optExpireGreetingNever),
                             static_cast<QWidget *>(g.optExpireGreetingOnDate),
                             static_cast<QWidget *>(g.dateGreetingExpire)})
        m_lock.setUsable(control, on);
}

void CallHandlerPage::resetControls()
{
    for (QLineEdit *box : std::initializer_list<QLineEdit *>{
             txtHandlerProfileDisplayName, txtHandlerProfileAlias, txtHandlerProfileOwner, txtHandlerProfileExtension,
             txtHandlerProfileSwitch, txtHandlerMessagesRecipient, txtHandlerMessagesMaxMessageLength,
             txtHandlerMessagesAfterMessageAction}) {
        box->clear();
        setTag(box, QString());
    }
    txtCallHandlerMillisecondsToWaitForAdditionalDigits->clear();
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
        resetGreeting(g.common);
        g.txtHandlerGreetingStreamPath->clear();
        clearOptions({g.optExpireGreetingNever, g.optExpireGreetingOnDate});
        clearLocalFields(g.dateGreetingExpire);
        clearLocalFields(g.timeGreetingExpire);
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
    const PageLoad run(ctx, QStringLiteral("LoadTabCallHandler"));

    // Whatever happens below, nothing of the previous handler stays on the
    // page: what is not reached stays empty and disabled.
    resetControls();
    setRuleGroupsEnabled(false);

    Recordset handler = run.open(QStringLiteral("SELECT * FROM vw_CallHandler WHERE CallHandlerObjectID=?"),
                                 {normalizedObjectId(strObjectID)});
    if (handler.isOpen() && handler.RecordCount() == 0)
        msgBox(QStringLiteral("Error in LoadTabInfo. could not find handler reference:") + strObjectID);
    if (!handler.isOpen() || handler.RecordCount() == 0) {
        showNotFound(tabHandlerInfo, selected);
        return false;
    }
    tabHandlerInfo->setEnabled(true);
    handler.MoveFirst();

    selected.ObjectType = 3;
    selected.Alias = handler.text(QStringLiteral("Alias"));
    selected.DisplayName = handler.text(QStringLiteral("TextName"));
    selected.ObjectID = strObjectID;

    // Profile
    const PageLoad::Owner owner = run.findOwner(handler, QStringLiteral("AdministratorObjectID"), -1);
    txtHandlerProfileOwner->setText(owner.name);
    setTag(txtHandlerProfileOwner, QString::number(owner.kind));
    if (owner.kind == -1)
        msgBox(QStringLiteral("Error, no valid owner found for this call handler."));
    txtHandlerProfileAlias->setText(handler.text(QStringLiteral("Alias")));
    txtHandlerProfileDisplayName->setText(handler.text(QStringLiteral("TextName")));
    setTag(txtHandlerProfileDisplayName, txtHandlerProfileDisplayName->text());
    emit titleChanged(handler.text(QStringLiteral("TextName")));
    txtHandlerProfileExtension->setText(handler.text(QStringLiteral("DTMFAccessID")));
    setTag(txtHandlerProfileExtension, txtHandlerProfileExtension->text());
    run.selectLanguage(cmbHandlerProfileLanguage, handler, QStringLiteral("Language"));
    setTag(cmbHandlerProfileLanguage, cmbHandlerProfileLanguage->currentText());
    if (!handler.isNull(QStringLiteral("ScheduleObjectName")))
        run.selectEntry(cmbHandlerProfileSchedule, handler.text(QStringLiteral("ScheduleObjectName")),
                        QStringLiteral("schedule"));
    setTag(cmbHandlerProfileSchedule, cmbHandlerProfileSchedule->currentText());

    const QVariantList parent{normalizedObjectId(handler.text(QStringLiteral("CallHandlerObjectID")))};

    // Transfer rules
    Recordset rules = run.open(QStringLiteral("SELECT * FROM vw_ContactRule WHERE ParentObjectID=?"), parent);
    if (!rules.isOpen())
        return true;
    if (rules.RecordCount() == 0) {
        msgBox(QStringLiteral("Error, could not find contact (transfer) rules for selected call handler"));
        return true;
    }
    rules.MoveFirst();
    if (!rules.isNull(QStringLiteral("SwitchID")))
        txtHandlerProfileSwitch->setText(strGetSwitchName(qint16(rules.field(QStringLiteral("SwitchID")).toInt())));
    for (int i = 0; i < kTransferRuleCount; ++i) {
        rules.MoveFirst();
        if (!rules.Find(QStringLiteral("Alias"), contactRuleAlias(i))) {
            msgBox(QStringLiteral("Error in LoadTabInfo.  Could not find contact rule: %1").arg(i));
            continue;
        }
        TransferRule &r = transferRules[size_t(i)];
        r.txtHandlerTransferString->setText(rules.text(QStringLiteral("Extension")));
        r.txtHandlerTransferRingstoWait->setText(rules.text(QStringLiteral("TransferRings")).trimmed());
        const bool ringPhone = showStoredTransfer(rules, r.cmbHandlerTransferType, r.optHandlerTransferAttemptRingPhone,
                                                  r.optHandlerTransferSendToGreeting);
        const StoredExpiry expires = run.expiry(rules, QStringLiteral("TimeExpires"));
        const bool enabled = expires.activeAt(run.nowUtc());
        r.chkHandlerTransferEnabled->setChecked(enabled);
        m_lock.setUsable(r.optHandlerTransferSendToGreeting, enabled);
        m_lock.setUsable(r.optHandlerTransferAttemptRingPhone, enabled);
        for (QWidget *field : {static_cast<QWidget *>(r.txtHandlerTransferString),
                               static_cast<QWidget *>(r.txtHandlerTransferRingstoWait),
                               static_cast<QWidget *>(r.cmbHandlerTransferType)})
            m_lock.setUsable(field, enabled && ringPhone);
        setTag(r.chkHandlerTransferEnabled, enabled ? QStringLiteral("1") : QStringLiteral("0"));
        setTag(r.optHandlerTransferAttemptRingPhone, booleanText(r.optHandlerTransferAttemptRingPhone->isChecked()));
        setTag(r.optHandlerTransferSendToGreeting, booleanText(r.optHandlerTransferSendToGreeting->isChecked()));
        setTag(r.cmbHandlerTransferType, r.cmbHandlerTransferType->currentText());
        setTag(r.txtHandlerTransferRingstoWait, r.txtHandlerTransferRingstoWait->text());
        setTag(r.txtHandlerTransferString, r.txtHandlerTransferString->text());
        // A rule whose state cannot be read is shown but cannot be changed.
        r.frameHandlerTransferInfo->setEnabled(expires.readable);
    }

    // Greetings
    rules = run.open(QStringLiteral("SELECT * FROM vw_MessagingRule WHERE ParentObjectID=?"), parent);
    if (!rules.isOpen())
        return true;
    if (rules.RecordCount() == 0) {
        msgBox(QStringLiteral("Error, could not find messaging rules (greetings) for the currently selected call handler."));
        return true;
    }
    platform::DbError keysError;
    Recordset keys = run.menuAhead(selected.ObjectID, keysError);
    run.lookUpDestinations(
        {{rules, QStringLiteral("ConversationName"), QStringLiteral("Action"), QStringLiteral("DestinationObjectID")},
         {handler, QStringLiteral("AfterMessageConversation"), QStringLiteral("AfterMessageAction"),
          QStringLiteral("AfterMessageObjectID")},
         {keys, QStringLiteral("ConversationName"), QStringLiteral("Action"), QStringLiteral("DestinationObjectID")}});
    for (int i = 0; i < kGreetingCount; ++i) {
        rules.MoveFirst();
        if (!rules.Find(QStringLiteral("Alias"), greetingRuleAlias(i))) {
            msgBox(QStringLiteral("Error in LoadTabInfo, could not find messaging rule"));
            continue;
        }
        Greeting &g = greetings[size_t(i)];
        const StoredExpiry expires = run.fillGreeting(rules, g.common);
        if (g.chkHandlerGreetingEnabled->isChecked() && expires.utc.isValid()) {
            const QDateTime local = dtUTCToLocal(expires.utc);
            setLocalFields(g.dateGreetingExpire, local);
            setLocalFields(g.timeGreetingExpire, local);
            g.optExpireGreetingOnDate->setChecked(true);
        } else {
            g.optExpireGreetingNever->setChecked(true);
            setLocalFields(g.dateGreetingExpire, run.now());
            setLocalFields(g.timeGreetingExpire, todayAtNoon(run.now()));
        }
        applyGreetingEnabledState(i);
    }

    // Message settings
    pageMessages->setEnabled(true);
    const PageLoad::Owner recipient = run.findOwner(handler, QStringLiteral("RecipientObjectID"), -1);
    txtHandlerMessagesRecipient->setText(recipient.name);
    setTag(txtHandlerMessagesRecipient, QString::number(recipient.kind));
    if (recipient.kind == -1)
        msgBox(QStringLiteral("Error, no valid message recipient found for this call handler"));
    run.fillMessageSettings(handler, messages);
    showStoredNumber(txtCallHandlerMillisecondsToWaitForAdditionalDigits, handler.text(QStringLiteral("OneKeyDelay")));

    // One-key menu
    if (!keys.isOpen()) {
        run.report(keysError.number, keysError.description);
        return true;
    }
    pageUserInput->setEnabled(true);
    run.fillKeyGrid(keys, gridHandlerKeys, QStringLiteral("Error, could not find menu entry for selected call handler by alias="));
    return true;
}

} // namespace quillor
