#include "details/subscriberpage.h"

#include "common/appcontext.h"
#include "common/objectid.h"
#include "common/switchinfo.h"
#include "details/callhandlerpage.h"
#include "details/controltag.h"
#include "details/keygrid.h"
#include "details/updown.h"
#include "platform/seams.h"
#include "platform/validatingedit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace quillor {

using platform::msgBox;
using platform::Recordset;

SubscriberPage::SubscriberPage(QWidget *parent) : DetailPage(parent)
{
    setObjectName(QStringLiteral("SubscriberPage"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    tabSubscriberDetails = named(new QTabWidget(this), QStringLiteral("tabSubscriberDetails"));
    tabSubscriberDetails->addTab(createProfilePage(), QStringLiteral("Profile"));
    tabSubscriberDetails->addTab(createTransferPage(), QStringLiteral("Transfer"));
    tabSubscriberDetails->addTab(createGreetingsPage(), QStringLiteral("Greetings"));
    tabSubscriberDetails->addTab(createMessagesPage(), QStringLiteral("Messages"));
    tabSubscriberDetails->addTab(createConversationPage(), QStringLiteral("Conversation"));
    tabSubscriberDetails->addTab(createUserInputPage(), QStringLiteral("User Input"));
    layout->addWidget(tabSubscriberDetails);
}

QWidget *SubscriberPage::createProfilePage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("pageSubscriberProfile"));
    QWidget *frame = frameSubscriberInfo[0] = topFrame(page, "frameSubscriberInfo", 0);
    auto *form = new QFormLayout(frame);
    txtSubscriberProfileAlias = readOnlyBox(frame, QStringLiteral("txtSubscriberProfileAlias"));
    txtSubscriberProfileDisplayName = readOnlyBox(frame, QStringLiteral("txtSubscriberProfileDisplayName"));
    txtSubscriberProfileExtension = named(new platform::ValidatingLineEdit(frame), QStringLiteral("txtSubscriberProfileExtension"));
    cmbSubscriberProfileLanguage = named(new QComboBox(frame), QStringLiteral("cmbSubscriberProfileLanguage"));
    cmbSubscriberProfileSchedule = named(new QComboBox(frame), QStringLiteral("cmbSubscriberProfileSchedule"));
    txtSubscriberProfileCOS = readOnlyBox(frame, QStringLiteral("txtSubscriberProfileCOS"));
    txtSubscriberProfileSwitch = readOnlyBox(frame, QStringLiteral("txtSubscriberProfileSwitch"));
    txtSubscriberProfileHomeServer = readOnlyBox(frame, QStringLiteral("txtSubscriberProfileHomeServer"));
    txtSubscriberObjectID = hiddenBox(frame, QStringLiteral("txtSubscriberObjectID"));
    m_lock.lock({txtSubscriberProfileExtension, cmbSubscriberProfileLanguage, cmbSubscriberProfileSchedule});
    form->addRow(QStringLiteral("Alias"), txtSubscriberProfileAlias);
    form->addRow(QStringLiteral("Display Name"), txtSubscriberProfileDisplayName);
    form->addRow(QStringLiteral("Extension"), txtSubscriberProfileExtension);
    form->addRow(QStringLiteral("Language Callers Hear"), cmbSubscriberProfileLanguage);
    form->addRow(QStringLiteral("Schedule"), cmbSubscriberProfileSchedule);
    form->addRow(QStringLiteral("COS"), txtSubscriberProfileCOS);
    form->addRow(QStringLiteral("Switch Name"), txtSubscriberProfileSwitch);
    form->addRow(QStringLiteral("Exchange Home Server"), txtSubscriberProfileHomeServer);
    form->addRow(txtSubscriberObjectID);

    // The directory id lies on the page itself, below the frame, lined up with the frame's rows.
    form->setContentsMargins(0, 0, 0, 0);
    auto *directory = new QFormLayout;
    auto *label = new QLabel(QStringLiteral("Directory ID"), page);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("Exchange Home Server")));
    txtSubscriberProfileDirectoryID = readOnlyBox(page, QStringLiteral("txtSubscriberProfileDirectoryID"));
    directory->addRow(label, txtSubscriberProfileDirectoryID);
    static_cast<QVBoxLayout *>(page->layout())->insertLayout(1, directory);
    return scrolled(page, tabSubscriberDetails);
}

QWidget *SubscriberPage::createTransferPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("pageSubscriberTransfer"));
    QWidget *frame = frameSubscriberInfo[1] = topFrame(page, "frameSubscriberInfo", 1);
    auto *form = new QFormLayout(frame);
    auto *actions = new QWidget(frame);
    auto *actionLayout = new QVBoxLayout(actions);
    actionLayout->setContentsMargins(0, 0, 0, 0);
    optSubscriberTransferAttemptToRingPhone = named(new QRadioButton(QStringLiteral("Attempt to ring phone"), actions),
                                                    QStringLiteral("optSubscriberTransferAttemptToRingPhone"));
    optSubscriberTransferSendToGreeting = named(new QRadioButton(QStringLiteral("Send caller directly to greeting"), actions),
                                                QStringLiteral("optSubscriberTransferSendToGreeting"));
    actionLayout->addWidget(optSubscriberTransferAttemptToRingPhone);
    actionLayout->addWidget(optSubscriberTransferSendToGreeting);
    cmbSubscriberTransferType = named(new QComboBox(frame), QStringLiteral("cmbSubscriberTransferType"));
    txtSubscriberTransferRingsToWait =
        named(new platform::ValidatingLineEdit(frame), QStringLiteral("txtSubscriberTransferRingsToWait"));
    txtSubscriberTransferRingsToWait->setMaximumWidth(80);
    txtSubscriberTransferString = named(new platform::ValidatingLineEdit(frame), QStringLiteral("txtSubscriberTransferString"));
    m_lock.lock({optSubscriberTransferAttemptToRingPhone, optSubscriberTransferSendToGreeting, cmbSubscriberTransferType,
                 txtSubscriberTransferRingsToWait, txtSubscriberTransferString});
    form->addRow(QStringLiteral("Action:"), actions);
    form->addRow(QStringLiteral("Transfer Type:"), cmbSubscriberTransferType);
    form->addRow(QStringLiteral(" Rings To Wait: "), txtSubscriberTransferRingsToWait);
    form->addRow(QStringLiteral(" Transfer String:"), txtSubscriberTransferString);
    return scrolled(page, tabSubscriberDetails);
}

QWidget *SubscriberPage::createGreetingsPage()
{
    static const GreetingNames names{"frameSubscriberGreetingInfo",
                                     "chkSubscriberGreetingEnabled",
                                     "chkSubscriberGreetingAllowInput",
                                     "txtSubscriberGreetingAfterGreetingAction",
                                     "cmdSubscriberGreetingChangeAfterGreetingAction",
                                     "cmbSubscriberGreetingSource",
                                     "cmbSubscriberGreetingsRepeat",
                                     "txtSubscriberGreetingStreamPath",
                                     "txtSubscriberGreetingObjectID",
                                     "GreetingObjectID"};
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("pageSubscriberGreetings"));
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    QWidget *frame = frameSubscriberInfo[2] = named(new QWidget(page), "frameSubscriberInfo", 2);
    layout->addWidget(frame);
    auto *frameLayout = new QVBoxLayout(frame);
    tabSubscriberGreetings = named(new QTabWidget(frame), QStringLiteral("tabSubscriberGreetings"));
    tabSubscriberGreetings->setUsesScrollButtons(true);
    frameLayout->addWidget(tabSubscriberGreetings);
    for (int i = 0; i < kGreetingCount; ++i) {
        auto *greetingPage = new QWidget;
        Greeting &g = greetings[size_t(i)];
        buildGreeting(greetingPage, i, names, m_lock, g.common);
        g.frameSubscriberGreetingInfo = g.common.frame;
        g.chkSubscriberGreetingEnabled = g.common.enabled;
        g.chkSubscriberGreetingAllowInput = g.common.allowInput;
        g.txtSubscriberGreetingAfterGreetingAction = g.common.afterGreetingAction;
        g.cmdSubscriberGreetingChangeAfterGreetingAction = g.common.changeAfterGreetingAction;
        g.cmbSubscriberGreetingSource = g.common.source;
        g.cmbSubscriberGreetingsRepeat = g.common.repeat;
        g.txtSubscriberGreetingStreamPath = g.common.streamPath;
        g.txtSubscriberGreetingObjectID = g.common.objectId;
        tabSubscriberGreetings->addTab(scrolled(greetingPage, tabSubscriberGreetings), greetingRuleAlias(i));
    }
    return page;
}

QWidget *SubscriberPage::createMessagesPage()
{
    static const MessageNames names{"txtSubscriberMessagesMaxMessageLength", "chkSubscriberMessagesCanEditMessages",
                                    "cmbSubscriberMessagesCanMarkUrgent", "txtSubscriberMessagesAfterMessageAction",
                                    "cmdSubscriberMessagesChangeAfterMessageAction"};
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("pageSubscriberMessages"));
    QWidget *frame = frameSubscriberInfo[3] = topFrame(page, "frameSubscriberInfo", 3);
    buildMessageRows(new QFormLayout(frame), frame, names, m_lock, messages);
    txtSubscriberMessagesMaxMessageLength = messages.maxMessageLength;
    chkSubscriberMessagesCanEditMessages = messages.canEditMessages;
    cmbSubscriberMessagesCanMarkUrgent = messages.canMarkUrgent;
    txtSubscriberMessagesAfterMessageAction = messages.afterMessageAction;
    cmdSubscriberMessagesChangeAfterMessageAction = messages.changeAfterMessageAction;
    return scrolled(page, tabSubscriberDetails);
}

QWidget *SubscriberPage::createConversationPage()
{
    auto *page = pageConversation = named(new QWidget, QStringLiteral("pageSubscriberConversation"));
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("Exit Subscriber Conversation Action:"), page));
    txtSubscriberConversationExitAction = readOnlyBox(page, QStringLiteral("txtSubscriberConversationExitAction"));
    cmdSubscriberConversationExitAction =
        named(new QPushButton(QStringLiteral("Set"), page), QStringLiteral("cmdSubscriberConversationExitAction"));
    m_lock.lock(cmdSubscriberConversationExitAction);
    layout->addWidget(withButton(page, txtSubscriberConversationExitAction, cmdSubscriberConversationExitAction));
    layout->addStretch(1);
    return scrolled(page, tabSubscriberDetails);
}

QWidget *SubscriberPage::createUserInputPage()
{
    static const KeyPageNames names{"pageSubscriberUserInput", "gridSubscriberKeys",
                                    "txtSubscriberMillisecondsToWaitForAdditionalDigits", "UpDown2",
                                    "cmdSubscriberLockAllKeys", "cmdSubscriberUnlockAllKeys"};
    KeyPageControls k;
    QWidget *page = pageUserInput = buildKeyPage(tabSubscriberDetails, names, m_lock, k);
    gridSubscriberKeys = k.grid;
    txtSubscriberMillisecondsToWaitForAdditionalDigits = k.delay;
    UpDown2 = k.upDown;
    cmdSubscriberLockAllKeys = k.lockAll;
    cmdSubscriberUnlockAllKeys = k.unlockAll;
    return page;
}

void SubscriberPage::applyGreetingEnabledState(int index)
{
    if (index >= 0 && index < kGreetingCount)
        applyGreetingSwitch(greetings[size_t(index)].common, m_lock);
}

void SubscriberPage::resetControls()
{
    for (QLineEdit *box : std::initializer_list<QLineEdit *>{
             txtSubscriberProfileAlias, txtSubscriberProfileDisplayName, txtSubscriberProfileExtension,
             txtSubscriberProfileCOS, txtSubscriberProfileSwitch, txtSubscriberProfileHomeServer, txtSubscriberObjectID,
             txtSubscriberProfileDirectoryID, txtSubscriberTransferRingsToWait, txtSubscriberTransferString,
             txtSubscriberMessagesMaxMessageLength, txtSubscriberMessagesAfterMessageAction,
             txtSubscriberConversationExitAction})
        box->clear();
    txtSubscriberMillisecondsToWaitForAdditionalDigits->clear();
    for (QComboBox *combo : {cmbSubscriberProfileLanguage, cmbSubscriberProfileSchedule, cmbSubscriberTransferType,
                             cmbSubscriberMessagesCanMarkUrgent})
        clearComboSelection(combo);
    for (QObject *tagged : std::initializer_list<QObject *>{txtSubscriberProfileExtension, cmbSubscriberProfileLanguage,
                                                             txtSubscriberTransferString, txtSubscriberTransferRingsToWait,
                                                             txtSubscriberMessagesMaxMessageLength})
        setTag(tagged, QString());
    clearOptions({optSubscriberTransferAttemptToRingPhone, optSubscriberTransferSendToGreeting});
    chkSubscriberMessagesCanEditMessages->setChecked(false);
    for (const Greeting &g : greetings)
        resetGreeting(g.common);
    gridSubscriberKeys->resetRows();
}

void SubscriberPage::setGroupsEnabled(bool enabled)
{
    frameSubscriberInfo[1]->setEnabled(enabled);
    for (const Greeting &g : greetings)
        g.frameSubscriberGreetingInfo->setEnabled(enabled);
    frameSubscriberInfo[3]->setEnabled(enabled);
    pageConversation->setEnabled(enabled);
    pageUserInput->setEnabled(enabled);
}

bool SubscriberPage::load(AppContext &ctx, const QString &strPrimaryCallHandlerObjectID, SelectedObject &selected)
{
    const PageLoad run(ctx, QStringLiteral("LoadTabSubscriber"));
    resetControls();
    setGroupsEnabled(false);

    Recordset handler = run.open(QStringLiteral("SELECT * FROM vw_CallHandler WHERE IsPrimary=1 AND CallHandlerObjectID=?"),
                                 {normalizedObjectId(strPrimaryCallHandlerObjectID)});
    if (handler.isOpen() && handler.RecordCount() != 1)
        msgBox(QStringLiteral("Error, could not find primary call handler for selected subscriber in the SQL database."));
    if (handler.RecordCount() != 1) {
        showNotFound(tabSubscriberDetails, selected);
        return false;
    }
    handler.MoveFirst();
    Recordset subscriber = run.open(QStringLiteral("SELECT * FROM vw_Subscriber WHERE SubscriberObjectID=?"),
                                    {normalizedObjectId(handler.text(QStringLiteral("RecipientObjectID")))});
    if (subscriber.isOpen() && subscriber.RecordCount() != 1)
        msgBox(QStringLiteral("Error, could not find selected subscriber in the SQL database."));
    if (subscriber.RecordCount() != 1) {
        showNotFound(tabSubscriberDetails, selected);
        return false;
    }
    tabSubscriberDetails->setEnabled(true);
    subscriber.MoveFirst();

    // Profile
    txtSubscriberObjectID->setText(subscriber.text(QStringLiteral("SubscriberObjectID")));
    selected.ObjectType = 1;
    selected.Alias = subscriber.text(QStringLiteral("Alias"));
    selected.DisplayName = subscriber.text(QStringLiteral("DisplayName"));
    // In the form the tree and the grid hand on, whatever form the server read it back in.
    selected.ObjectID = bracedObjectId(handler.text(QStringLiteral("CallHandlerObjectID")));
    emit titleChanged(subscriber.text(QStringLiteral("DisplayName")));
    txtSubscriberProfileAlias->setText(subscriber.text(QStringLiteral("Alias")));
    txtSubscriberProfileDisplayName->setText(subscriber.text(QStringLiteral("DisplayName")));
    txtSubscriberProfileExtension->setText(handler.text(QStringLiteral("DTMFAccessID")));
    setTag(txtSubscriberProfileExtension, txtSubscriberProfileExtension->text());
    txtSubscriberProfileHomeServer->setText(subscriber.text(QStringLiteral("HomeServer")));
    if (!handler.isNull(QStringLiteral("ScheduleObjectName")))
        run.selectEntry(cmbSubscriberProfileSchedule, handler.text(QStringLiteral("ScheduleObjectName")),
                        QStringLiteral("schedule"));
    txtSubscriberProfileDirectoryID->setText(subscriber.text(QStringLiteral("DirectoryID")));

    Recordset rules = run.open(QStringLiteral("SELECT TextName FROM vw_COS WHERE CosObjectID=?"),
                               {normalizedObjectId(subscriber.text(QStringLiteral("COSObjectID")))});
    if (rules.RecordCount() == 1) {
        rules.MoveFirst();
        txtSubscriberProfileCOS->setText(rules.text(QStringLiteral("TextName")));
    } else if (rules.isOpen()) {
        msgBox(QStringLiteral("Error in LoadTabInfo.  Could not find COS reference:") +
               subscriber.text(QStringLiteral("COSObjectID")));
    }
    // A subscriber without a switch of its own is on the first one.
    txtSubscriberProfileSwitch->setText(strGetSwitchName(
        subscriber.isNull(QStringLiteral("SwitchID")) ? qint16(0) : qint16(subscriber.field(QStringLiteral("SwitchID")).toInt())));
    run.selectLanguage(cmbSubscriberProfileLanguage, handler, QStringLiteral("Language"));
    setTag(cmbSubscriberProfileLanguage, cmbSubscriberProfileLanguage->currentText());

    // Transfer rule
    const QVariantList parent{normalizedObjectId(handler.text(QStringLiteral("CallHandlerObjectID")))};
    rules = run.open(QStringLiteral("SELECT * FROM vw_ContactRule WHERE ParentObjectID=?"), parent);
    if (!rules.isOpen())
        return true;
    if (rules.RecordCount() == 0) {
        msgBox(QStringLiteral("Error in LoadTabInfo.  Did not find contact rules for selected subscriber:") +
               subscriber.text(QStringLiteral("Alias")));
        return true;
    }
    rules.MoveFirst();
    if (!rules.Find(QStringLiteral("Alias"), QStringLiteral("Alternate"))) {
        msgBox(QStringLiteral("Error in LoadTabInfo.  Could not find alternate contact rule:") +
               handler.text(QStringLiteral("ContactRuleAlternate")));
    } else {
        frameSubscriberInfo[1]->setEnabled(true);
        txtSubscriberTransferString->setText(rules.text(QStringLiteral("Extension")));
        setTag(txtSubscriberTransferString, txtSubscriberTransferString->text());
        txtSubscriberTransferRingsToWait->setText(rules.text(QStringLiteral("TransferRings")).trimmed());
        setTag(txtSubscriberTransferRingsToWait, txtSubscriberTransferRingsToWait->text());
        const bool ringPhone = showStoredTransfer(rules, cmbSubscriberTransferType, optSubscriberTransferAttemptToRingPhone,
                                                  optSubscriberTransferSendToGreeting);
        for (QWidget *field : {static_cast<QWidget *>(cmbSubscriberTransferType),
                               static_cast<QWidget *>(txtSubscriberTransferRingsToWait),
                               static_cast<QWidget *>(txtSubscriberTransferString)})
            m_lock.setUsable(field, ringPhone);
    }

    // Greetings
    rules = run.open(QStringLiteral("SELECT * FROM vw_MessagingRule WHERE ParentObjectID=?"), parent);
    if (!rules.isOpen())
        return true;
    if (rules.RecordCount() == 0) {
        msgBox(QStringLiteral("Error in LoadTabInfo - no messaging rules found for selected subscriber: ") +
               subscriber.text(QStringLiteral("Alias")));
        return true;
    }
    platform::DbError keysError;
    Recordset keys = run.menuAhead(selected.ObjectID, keysError);
    run.lookUpDestinations(
        {{rules, QStringLiteral("ConversationName"), QStringLiteral("Action"), QStringLiteral("DestinationObjectID")},
         {handler, QStringLiteral("AfterMessageConversation"), QStringLiteral("AfterMessageAction"),
          QStringLiteral("AfterMessageObjectID")},
         {subscriber, QStringLiteral("ExitConversation"), QStringLiteral("ExitAction"), QStringLiteral("ExitObjectID")},
         {keys, QStringLiteral("ConversationName"), QStringLiteral("Action"), QStringLiteral("DestinationObjectID")}});
    for (int i = 0; i < kGreetingCount; ++i) {
        rules.MoveFirst();
        if (!rules.Find(QStringLiteral("Alias"), greetingRuleAlias(i))) {
            msgBox(QStringLiteral("Error in LoadTabInfo, could not find messaging rule"));
            continue;
        }
        run.fillGreeting(rules, greetings[size_t(i)].common);
        applyGreetingEnabledState(i);
    }

    // Message settings and the conversation exit
    frameSubscriberInfo[3]->setEnabled(true);
    run.fillMessageSettings(handler, messages);
    pageConversation->setEnabled(true);
    if (subscriber.isNull(QStringLiteral("ExitAction")))
        txtSubscriberConversationExitAction->setText(QStringLiteral("Error! Exit destination not set!"));
    else
        txtSubscriberConversationExitAction->setText(run.actionText(subscriber, QStringLiteral("ExitConversation"),
                                                                    QStringLiteral("ExitAction"),
                                                                    QStringLiteral("ExitObjectID")));
    showStoredNumber(txtSubscriberMillisecondsToWaitForAdditionalDigits, handler.text(QStringLiteral("OneKeyDelay")));

    // One-key menu
    if (!keys.isOpen()) {
        run.report(keysError.number, keysError.description);
        return true;
    }
    pageUserInput->setEnabled(true);
    run.fillKeyGrid(keys, gridSubscriberKeys,
                    QStringLiteral("Error, could not find menu entry for selected subscriber by alias="));
    return true;
}

} // namespace quillor
