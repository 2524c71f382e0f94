#pragma once
// The field handlers of the "Directory Handler" page: the name lookup
// handler's display name and extension, written through its procedure.

#include <QObject>

namespace quillor {

class EditingHost;
class NameLookupHandlerPage;

class NameLookupEditing : public QObject {
    Q_OBJECT
public:
    NameLookupEditing(EditingHost &host, NameLookupHandlerPage &page, QObject *parent = nullptr);

    void txtDirectoryHandlerDisplayName_Validate(bool *cancel);
    void txtDirectoryHandlerExtension_Validate(bool *cancel);

private:
    EditingHost &m_host;
    NameLookupHandlerPage &m_page;
};

} // namespace quillor
