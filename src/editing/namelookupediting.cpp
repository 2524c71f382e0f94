#include "editing/namelookupediting.h"

#include "details/editlock.h"
#include "details/namelookuppage.h"
#include "editing/editinghost.h"
#include "editing/profilefields.h"
#include "platform/validatingedit.h"

namespace quillor {

NameLookupEditing::NameLookupEditing(EditingHost &host, NameLookupHandlerPage &page, QObject *parent)
    : QObject(parent), m_host(host), m_page(page)
{
    page.editLock().release(page.txtDirectoryHandlerDisplayName);
    page.editLock().release(page.txtDirectoryHandlerExtension);
    connect(page.txtDirectoryHandlerDisplayName, &platform::ValidatingLineEdit::validating, this,
            &NameLookupEditing::txtDirectoryHandlerDisplayName_Validate);
    connect(page.txtDirectoryHandlerExtension, &platform::ValidatingLineEdit::validating, this,
            &NameLookupEditing::txtDirectoryHandlerExtension_Validate);
}

void NameLookupEditing::txtDirectoryHandlerDisplayName_Validate(bool *)
{
    validateProfileField(m_host, m_page.txtDirectoryHandlerDisplayName,
                         {ProfileField::Kind::DisplayName, ShownNameLookup, QStringLiteral("sp_ModifyDirectoryHandler"),
                          QStringLiteral("DirectoryHandlerObjectID"), QStringLiteral("NameLookupHandler")},
                         m_host.CurrentlySelectedObject().ObjectID);
}

void NameLookupEditing::txtDirectoryHandlerExtension_Validate(bool *)
{
    validateProfileField(m_host, m_page.txtDirectoryHandlerExtension,
                         {ProfileField::Kind::Extension, ShownNameLookup, QStringLiteral("sp_ModifyDirectoryHandler"),
                          QStringLiteral("DirectoryHandlerObjectID"), QStringLiteral("NameLookupHandler")},
                         m_host.CurrentlySelectedObject().ObjectID);
}

} // namespace quillor
