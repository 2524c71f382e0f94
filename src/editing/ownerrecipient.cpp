#include "editing/ownerrecipient.h"

#include "common/appcontext.h"
#include "common/errors.h"
#include "common/objectid.h"
#include "common/validators.h"
#include "details/callhandlerpage.h"
#include "details/controltag.h"
#include "details/interviewerpage.h"
#include "details/namelookuppage.h"
#include "details/ownerlookup.h"
#include "editing/editinghost.h"
#include "editing/rowwrite.h"
#include "pickers/frmpickers.h"
#include "pickers/pickerregistry.h"
#include "platform/seams.h"

#include <QAction>
#include <QCursor>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

namespace quillor {

using platform::msgBox;

namespace {

QString routineOf(OwnerEntry entry)
{
    return entry == OwnerEntry::Subscriber ? QStringLiteral("PopupOwnerRecipientSubscriber")
                                           : QStringLiteral("PopupOwnerRecipientDistributionList");
}

// Writes the two columns into the interview handler's own row. False when
// the row is not there (said so): nothing is then logged or reloaded.
bool writeInterviewerColumns(EditingHost &host, OwnerEntry entry, const QString &idColumn, const QString &objectId,
                             qint16 kind, const AuditEntry &audit, const QString &auditValue)
{
    const QString procedure = routineOf(entry) + QStringLiteral("_Click");
    platform::Recordset rs = openShownRow(host, QStringLiteral("InterviewHandler"),
                                          QStringLiteral("InterviewHandlerObjectID"), procedure);
    if (rs.isOpen() && rs.RecordCount() != 1) {
        msgBox(QStringLiteral("Error!  Could not find interview handler in database in %1 routine.").arg(routineOf(entry)));
        return false;
    }
    if (rs.isOpen()) {
        rs.MoveFirst();
        rs.setField(idColumn, objectId);
        rs.setField(idColumn + QStringLiteral("Type"), kind);
    }
    updateRowAndAudit(host, rs, audit, auditValue, procedure);
    return true;
}

} // namespace

void writeOwnerOrRecipient(EditingHost &host, bool bChangeOwner, OwnerEntry entry, const OwnerPick &pick)
{
    const SelectedObject &shown = host.CurrentlySelectedObject();
    const bool isList = entry == OwnerEntry::DistributionList;
    const QString idColumn = bChangeOwner ? QStringLiteral("AdministratorObjectID") : QStringLiteral("RecipientObjectID");
    const qint16 kind = isList ? OwnerDistributionList : OwnerSubscriber;
    const QString objectId = normalizedObjectId(pick.objectId);
    const QString auditValue =
        (isList ? QStringLiteral("Distribution list=") : QStringLiteral("Subscriber=")) + pick.displayName;
    const AuditEntry audit{strObjectTypeName(shown.ObjectType), shown.Alias, {}, {}, idColumn};
    switch (shown.ObjectType) {
    case ShownCallHandler:
    case ShownNameLookup: {
        const bool handler = shown.ObjectType == ShownCallHandler;
        writeAndAudit(host.ctx(), handler ? QStringLiteral("sp_ModifyCallHandler") : QStringLiteral("sp_ModifyDirectoryHandler"),
                      {{handler ? QStringLiteral("CallHandlerObjectID") : QStringLiteral("DirectoryHandlerObjectID"),
                        shown.ObjectID, 72},
                       {idColumn, objectId, 200},
                       {idColumn + QStringLiteral("Type"), kind, 200}},
                      audit, auditValue);
        break;
    }
    case ShownInterviewer:
        if (!writeInterviewerColumns(host, entry, idColumn, objectId, kind, audit, auditValue))
            return;
        break;
    default:
        msgBox(QStringLiteral("Error!  Invalid ObjectType value in the CurrentlySelectedObject structure encountered in "
                              "the %1 routine")
                   .arg(isList ? QStringLiteral("PopupOWnerRecipientDistributionList") : routineOf(entry)));
        return;
    }
    // Written or not, the page shows what is stored now.
    host.reloadTab();
}

OwnerRecipientChoice::OwnerRecipientChoice(EditingHost &host, Pickers &pickers, Popup popup,
                                           CallHandlerPage &callHandler, InterviewerPage &interviewer,
                                           NameLookupHandlerPage &nameLookup, QObject *parent)
    : QObject(parent), m_host(host), m_pickers(pickers), m_popup(popup), m_callHandler(callHandler),
      m_interviewer(interviewer), m_nameLookup(nameLookup)
{
    m_popup.PopupOwnerRecipientSubscriber->setCheckable(true);
    m_popup.PopupOwnerRecipientDistributionList->setCheckable(true);
    connect(m_popup.PopupOwnerRecipientSubscriber, &QAction::triggered, this,
            &OwnerRecipientChoice::PopupOwnerRecipientSubscriber_Click);
    connect(m_popup.PopupOwnerRecipientDistributionList, &QAction::triggered, this,
            &OwnerRecipientChoice::PopupOwnerRecipientDistributionList_Click);

    const auto button = [this](DetailPage &page, QPushButton *control, void (OwnerRecipientChoice::*handler)()) {
        page.editLock().release(control);
        connect(control, &QPushButton::clicked, this, handler);
    };
    button(callHandler, callHandler.cmdHandlerChangeOwner, &OwnerRecipientChoice::cmdHandlerChangeOwner_Click);
    button(callHandler, callHandler.cmdHandlerMessagesChangeRecipient,
           &OwnerRecipientChoice::cmdHandlerMessagesChangeRecipient_Click);
    button(nameLookup, nameLookup.cmdChangeDirectoryHandlerOwner,
           &OwnerRecipientChoice::cmdChangeDirectoryHandlerOwner_Click);
    button(interviewer, interviewer.cmdInterviewerProfileSetOwner,
           &OwnerRecipientChoice::cmdInterviewerProfileSetOwner_Click);
    button(interviewer, interviewer.cmdInterviewerProfileSetRecipient,
           &OwnerRecipientChoice::cmdInterviewerProfileSetRecipient_Click);
}

void OwnerRecipientChoice::cmdHandlerChangeOwner_Click() { popUp(m_callHandler.txtHandlerProfileOwner, true); }

void OwnerRecipientChoice::cmdHandlerMessagesChangeRecipient_Click()
{
    popUp(m_callHandler.txtHandlerMessagesRecipient, false);
}

void OwnerRecipientChoice::cmdChangeDirectoryHandlerOwner_Click() { popUp(m_nameLookup.txtDirectoryHandlerOwner, true); }

void OwnerRecipientChoice::cmdInterviewerProfileSetOwner_Click() { popUp(m_interviewer.txtInterviewerOwner, true); }

void OwnerRecipientChoice::cmdInterviewerProfileSetRecipient_Click()
{
    popUp(m_interviewer.txtInterviewerRecipient, false);
}

void OwnerRecipientChoice::popUp(const QLineEdit *box, bool bChangeOwner)
{
    // A Tag that is no kind (nothing loaded yet) ticks nothing, like one found nowhere.
    bool isNumber = false;
    const int kind = tag(box).toInt(&isNumber);
    m_popup.PopupOwnerRecipientSubscriber->setChecked(isNumber && kind == OwnerSubscriber);
    m_popup.PopupOwnerRecipientDistributionList->setChecked(isNumber && kind == OwnerDistributionList);
    m_host.ctx().state().bChangeOwner = bChangeOwner;
    m_popup.PopupOwnerRecipient->popup(QCursor::pos());
}

void OwnerRecipientChoice::pickAndWrite(PickerDialog &picker, OwnerEntry entry, const QString &pickedId)
{
    picker.exec();
    // A close that is not a pick, or a pick without an object, writes nothing.
    if (picker.bCancelHit || pickedId.isEmpty())
        return;
    writeOwnerOrRecipient(m_host, m_host.ctx().state().bChangeOwner, entry, {pickedId, picker.strDisplayName});
}

void OwnerRecipientChoice::PopupOwnerRecipientSubscriber_Click()
{
    frmSubscriberSearch &picker = m_pickers.subscriberSearch();
    pickAndWrite(picker, OwnerEntry::Subscriber, picker.strSubscriberObjectID);
}

void OwnerRecipientChoice::PopupOwnerRecipientDistributionList_Click()
{
    frmDistributionListSearch &picker = m_pickers.distributionListSearch();
    pickAndWrite(picker, OwnerEntry::DistributionList, picker.strObjectID);
}

} // namespace quillor
