#include "pickers/frmpickers.h"

#include "common/errors.h"

namespace quillor {

namespace {

// Columns of the searches, in the order of their SELECT.
constexpr int kDisplayName = 1;
constexpr int kObjectId = 3;
constexpr int kDirectoryId = 4;
constexpr int kHandlerObjectId = 5;
constexpr int kSubscriberObjectId = 6;

// The handler and list pickers: matched by display name (at start) or
// extension; alias, display name and extension shown, the ids after them hidden.
PickerLayout byNameOrExtension(PickerKind kind, const char *objectName, const char *caption,
                               const char *noSelectionMessage, const QStringList &moreIds = {})
{
    PickerLayout layout{kind,
                        objectName,
                        caption,
                        {{SearchBy::DisplayName, "optSearchByDisplayName", "Display Name"},
                         {SearchBy::Extension, "optSearchByExtension", "Extension"}},
                        SearchBy::DisplayName,
                        {QStringLiteral("Alias"), QStringLiteral("Display Name"), QStringLiteral("Extension"),
                         QStringLiteral("ObjectId")},
                        {kObjectId},
                        kDisplayName,
                        noSelectionMessage};
    for (const QString &id : moreIds) {
        layout.hiddenColumns << int(layout.headers.size());
        layout.headers << id;
    }
    return layout;
}

} // namespace

void ObjectIdPicker::setResults(int row)
{
    // CallHandlerObjectId, InterviewHandlerObjectId or SystemDListObjectId.
    strObjectID = cell(row, kObjectId);
}

frmCallHandlerSearch::frmCallHandlerSearch(AppContext &ctx, QWidget *parent)
    : ObjectIdPicker(ctx,
                     byNameOrExtension(PickerKind::CallHandler, "frmCallHandlerSearch", "Call Handler Search",
                                       "Error!  No call handler selected!"),
                     parent)
{
}

frmInterviewerSearch::frmInterviewerSearch(AppContext &ctx, QWidget *parent)
    : ObjectIdPicker(ctx,
                     byNameOrExtension(PickerKind::InterviewHandler, "frmInterviewerSearch", "Interviewer Search",
                                       "Error!  No interview handler selected!"),
                     parent)
{
}

frmDistributionListSearch::frmDistributionListSearch(AppContext &ctx, QWidget *parent)
    : ObjectIdPicker(ctx,
                     byNameOrExtension(PickerKind::DistributionList, "frmDistributionListSearch",
                                       "Distribution List Search", "Error!  No distribution list selected!",
                                       {QStringLiteral("DirectoryID")}),
                     parent)
{
}

bool frmDistributionListSearch::prepareOK(int row)
{
    platform::DbError error;
    if (!distributionListDomain(context(), cell(row, kDirectoryId), &m_pickedDomain, &error)) {
        // Not a list without a domain: the list could not be read.
        reportError(error.number, error.description, QStringLiteral("cmdOK_Click"), QStringLiteral("Form"),
                    objectName());
        return false;
    }
    return true;
}

void frmDistributionListSearch::setResults(int row)
{
    ObjectIdPicker::setResults(row);
    strDirectoryID = cell(row, kDirectoryId);
    strDomainName = row < 0 ? QString() : m_pickedDomain;
}

frmSubscriberSearch::frmSubscriberSearch(AppContext &ctx, QWidget *parent)
    : PickerDialog(ctx,
                   {PickerKind::Subscriber,
                    "frmSubscriberSearch",
                    "Subscriber Search",
                    {{SearchBy::FirstName, "optSearchByFirstName", "First Name"},
                     {SearchBy::LastName, "optSearchByLastName", "Last Name"},
                     {SearchBy::Alias, "optSearchByAlias", "Alias"},
                     {SearchBy::Extension, "optSearchByExtension", "Extension"}},
                    SearchBy::LastName,
                    {QStringLiteral("Alias"), QStringLiteral("Display Name"), QStringLiteral("Extension"),
                     QStringLiteral("First Name"), QStringLiteral("Last Name"), QStringLiteral("CallHandlerObjectId"),
                     QStringLiteral("SubscriberObjectID")},
                    {kHandlerObjectId},
                    kDisplayName,
                    "Error!  No subscriber selected!"},
                   parent)
{
}

void frmSubscriberSearch::setResults(int row)
{
    strSubscriberObjectID = cell(row, kSubscriberObjectId);
    strHandlerObjectID = cell(row, kHandlerObjectId);
}

} // namespace quillor
