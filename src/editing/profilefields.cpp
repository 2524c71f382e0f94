#include "editing/profilefields.h"

#include "common/appcontext.h"
#include "common/objectid.h"
#include "common/validators.h"
#include "details/controltag.h"
#include "editing/fieldwrite.h"
#include "editing/rowwrite.h"
#include "platform/seams.h"

#include <QComboBox>
#include <QLineEdit>

namespace quillor {

namespace {

const QString kNameRefused = QStringLiteral(
    "The display name cannot be empty and can contain only letters, numbers, spaces, dashes and commas");
const QString kInterviewerNotFound = QStringLiteral("Error!  Could not find currently selected interview handler in database.");

// The box without surrounding blanks; the box shows it so.
QString takeTrimmed(QLineEdit *box)
{
    const QString text = trimBlanks(box->text());
    if (text != box->text())
        box->setText(text);
    return text;
}

// Whether another object of the dialing domain already answers to
// `extension`; the refusal shown is `inUse` with the owner's type word and name.
bool extensionFree(EditingHost &host, const QString &extension,
                   const std::function<QString(const QString &, const QString &)> &inUse)
{
    QString typeWord;
    QString name;
    const std::optional<qint16> owners = IsDuplicateExtension(host.ctx(), extension, typeWord, name);
    if (!owners)
        return false; // the check could not be made (and said so): not known to be free
    if (*owners > 0) {
        platform::msgBox(inUse(typeWord, name));
        return false;
    }
    return true;
}

// Saves the edited row of an interview handler and records it; a refused
// update is shown, logged FAILED_UPDATE and reported as not written.
bool updateInterviewerRow(EditingHost &host, platform::Recordset &rs, const QString &column, const QString &value,
                          const QString &auditTable, const QString &procedure)
{
    return updateRowAndAudit(host, rs, {auditTable, host.CurrentlySelectedObject().Alias, {}, {}, column}, value,
                             procedure);
}

} // namespace

void validateProfileField(EditingHost &host, QLineEdit *box, const ProfileField &field, const QString &key)
{
    if (host.bLoadingControls() || !host.isShown(field.objectType))
        return;
    const bool isName = field.kind == ProfileField::Kind::DisplayName;
    // Blanks around the text are no change; letter case is a change of a name.
    const QString text = takeTrimmed(box);
    if (textUnchanged(box, text, isName ? TagCompare::Exact : TagCompare::IgnoreCase))
        return;
    if (isName) {
        if (!myIsValidNameField(text))
            return refuseText(box, kNameRefused);
    } else {
        if (!isValidExtension(text, 0))
            return refuseText(box, {}); // the check has said why
        if (!extensionFree(host, text, [](const QString &type, const QString &name) {
                return QStringLiteral("That extension is already in use in the dialing domain by a %1: %2").arg(type, name);
            }))
            return refuseText(box, {});
    }
    const QString column = isName ? QStringLiteral("TextName") : QStringLiteral("DTMFAccessID");
    if (!writeField(host, {field.procedure, field.keyName, key, {column, text, 200}, field.auditTable, text,
                           field.directorySync}))
        return refuseText(box, {});
    host.relistGridView();
    if (isName)
        host.setTitle(text);
    setTag(box, text);
}

void validateInterviewerDisplayName(EditingHost &host, QLineEdit *box)
{
    if (host.bLoadingControls() || !host.isShown(ShownInterviewer))
        return;
    const QString text = takeTrimmed(box);
    if (textUnchanged(box, text, TagCompare::Exact))
        return;
    if (!myIsValidNameField(text))
        return refuseText(box, kNameRefused);
    const QString procedure = QStringLiteral("txtInterviewerDisplayName_Validate");
    platform::Recordset rs =
        openShownRow(host, QStringLiteral("InterviewHandler"), QStringLiteral("InterviewHandlerObjectID"), procedure);
    if (!rs.isOpen())
        return refuseText(box, {});
    if (rs.RecordCount() != 1)
        return refuseText(box, kInterviewerNotFound);
    rs.MoveFirst();
    rs.setField(QStringLiteral("TextName"), text);
    if (!updateInterviewerRow(host, rs, QStringLiteral("TextName"), text, QStringLiteral("InterviewHandler"), procedure))
        return refuseText(box, {});
    setTag(box, text);
}

void validateInterviewerExtension(EditingHost &host, QLineEdit *box)
{
    if (host.bLoadingControls() || !host.isShown(ShownInterviewer))
        return;
    const QString text = takeTrimmed(box);
    if (textUnchanged(box, text, TagCompare::Exact))
        return;
    if (!MyIsNumber(text, 0, 0))
        return refuseText(box, QStringLiteral("The extension must be all digits"));
    if (!extensionFree(host, text, [](const QString &type, const QString &name) {
            return QStringLiteral("That extension conflicts with an existing %1 with a display name= %2").arg(type, name);
        }))
        return refuseText(box, {});
    const QString procedure = QStringLiteral("txtInterviewerExtension_Validate");
    // Every extension row of the handler; the one it has is changed, a first one added.
    platform::Recordset rs = openShownRow(host, QStringLiteral("DTMFAccessID"), QStringLiteral("ParentObjectID"), procedure);
    if (!rs.isOpen())
        return refuseText(box, {});
    if (rs.RecordCount() > 1)
        // Which of them is the handler's own cannot be told: nothing is written.
        return refuseText(box, QStringLiteral("Error!  Found more than one match for the primary extension number for "
                                              "the currently selected interview handler."));
    if (rs.RecordCount() == 1) {
        rs.MoveFirst();
        rs.setField(QStringLiteral("DTMFAccessID"), text);
    } else {
        rs.AddNew();
        rs.setField(QStringLiteral("DTMFAccessID"), text);
        rs.setField(QStringLiteral("ParentObjectID"), normalizedObjectId(host.CurrentlySelectedObject().ObjectID));
        rs.setField(QStringLiteral("ParentObjectIDType"), 5);
        rs.setField(QStringLiteral("IsPrimaryID"), 1);
        rs.setField(QStringLiteral("DTMFAccessIDType"), 0);
    }
    if (!updateInterviewerRow(host, rs, QStringLiteral("DTMFAccessID"), text, QStringLiteral("InterviewHandler"),
                              procedure))
        return refuseText(box, {});
    setTag(box, text);
}

namespace {

// The LCID an entry of a language list stands for; Null for "Inherited" (item data 0).
QVariant languageValue(const QComboBox *list)
{
    const int lcid = list->currentData().toInt();
    return lcid == 0 ? QVariant() : QVariant(lcid);
}

} // namespace

EditResult writeLanguage(EditingHost &host, QComboBox *list, const ListField &field)
{
    if (host.bLoadingControls() || !host.isShown(field.objectType))
        return EditResult::Ignored;
    if (list->currentIndex() < 0 || textUnchanged(list, list->currentText(), TagCompare::IgnoreCase))
        return EditResult::Ignored;
    const QVariant lcid = languageValue(list);
    classProcParam language(QStringLiteral("Language"), lcid, 200, lcid.isNull());
    if (!writeField(host, {field.procedure, field.keyName, host.CurrentlySelectedObject().ObjectID, language,
                           field.auditTable, list->currentText()}))
        return EditResult::NotWritten;
    setTag(list, list->currentText());
    return EditResult::Written;
}

EditResult writeInterviewerLanguage(EditingHost &host, QComboBox *list)
{
    if (host.bLoadingControls() || !host.isShown(ShownInterviewer))
        return EditResult::Ignored;
    if (list->currentIndex() < 0 || textUnchanged(list, list->currentText(), TagCompare::IgnoreCase))
        return EditResult::Ignored;
    const QString procedure = QStringLiteral("cmbInterviewerLanguage_Click");
    platform::Recordset rs =
        openShownRow(host, QStringLiteral("InterviewHandler"), QStringLiteral("InterviewHandlerObjectID"), procedure);
    if (!rs.isOpen())
        return EditResult::NotWritten;
    if (rs.RecordCount() != 1) {
        platform::msgBox(kInterviewerNotFound);
        return EditResult::NotWritten;
    }
    rs.MoveFirst();
    const QVariant lcid = languageValue(list);
    rs.setField(QStringLiteral("Language"), lcid.isNull() ? QVariant(QMetaType::fromType<int>()) : lcid);
    if (!updateInterviewerRow(host, rs, QStringLiteral("Language"), list->currentText(),
                              QStringLiteral("Interview Handler"), procedure))
        return EditResult::NotWritten;
    setTag(list, list->currentText());
    return EditResult::Written;
}

EditResult writeSchedule(EditingHost &host, QComboBox *list, qint16 objectType, const QString &auditTable,
                         bool compareTag)
{
    if (host.bLoadingControls() || !host.isShown(objectType) || list->currentIndex() < 0)
        return EditResult::Ignored;
    if (compareTag && textUnchanged(list, list->currentText(), TagCompare::IgnoreCase))
        return EditResult::Ignored;
    const QString name = list->currentText();
    if (!writeField(host, {QStringLiteral("sp_ModifyCallHandler"), QStringLiteral("CallHandlerObjectID"),
                           host.CurrentlySelectedObject().ObjectID,
                           {QStringLiteral("ScheduleObjectName"), name, 200}, auditTable, name}))
        return EditResult::NotWritten;
    setTag(list, name);
    return EditResult::Written;
}

} // namespace quillor
