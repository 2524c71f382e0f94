#pragma once
// The field handlers of the "Directory Handler" page besides its name and
// extension: play all names, the language, the search order and scope (with
// the distribution list picked as scope), how matches are announced, what a
// unique match does and the maximum number of matches. Each writes its change
// at once with one audit line; a change that is not written shows the stored
// value again.

#include <QObject>

namespace quillor {

class ControlMemory;
class EditingHost;
class NameLookupHandlerPage;
class Pickers;
struct SearchOptionsInput;

// A distribution list picked as search scope and not yet saved.
struct ScopeListPick {
    QString directoryId;
    QString displayName;
    QString smtpDomain;
};

class NameLookupOptionsEditing : public QObject {
    Q_OBJECT
public:
    NameLookupOptionsEditing(EditingHost &host, NameLookupHandlerPage &page, Pickers &pickers,
                             QObject *parent = nullptr);

    void chkDirectoryHandlerPlayAllNames_Click();
    void chkNameLookupHandlerMenuFormatAnnounceExtensions_Click();
    void cmbDirectoryHandlerLanguage_Click();
    void cmbDirectoryHandlerSearchInCOS_Validate();
    void cmbDirectoryHandlerSearchInLocation_Validate();
    // The name-order and search-scope options other than the distribution
    // list: each saves the search options the page shows.
    void optDirHandlerSearchByFirstNameLastName_Click() { searchOption_Click(); }
    void optDirHandlerSearchByLastNameFirstName_Click() { searchOption_Click(); }
    void optDirHandlerSearchOptionLocal_Click() { searchOption_Click(); }
    void optDirHandlerSearchOptionDialingDomain_Click() { searchOption_Click(); }
    void optDirHandlerSearchOptionLocation_Click() { searchOption_Click(); }
    void optDirHandlerSearchOptionCOS_Click() { searchOption_Click(); }
    void optDirHandlerSearchOptionDL_Click();
    void cmdDirectoryHandlerSearchInDL_Click();
    // Each pair of options has one writer, whichever of the two is clicked.
    void optNameLookupHandlerAnnounceMatchedNamesMenuFormat_Click();
    void optNameLookupHandlerAnnounceMatchedNamesExtensionFormat_Click()
    {
        optNameLookupHandlerAnnounceMatchedNamesMenuFormat_Click();
    }
    void optNameLookupHandlerOnUniqueMatchRouteAutomatically_Click();
    void optNameLookupHandlerOnUniqueMatchRequestCallerInput_Click()
    {
        optNameLookupHandlerOnUniqueMatchRouteAutomatically_Click();
    }
    // False when the value committed was not written.
    bool txtDirectoryHandlerMaxMatches_Change();

    // Writes every search option the page shows. Only `freshPick` makes a new
    // scope list; without one the distribution-list scope keeps the handler's
    // stored list. False when nothing was written.
    bool SaveDirectoryHandlerSearchOptions(const ScopeListPick *freshPick = nullptr);

private:
    void searchOption_Click();
    bool loading() const;
    bool shown() const;
    SearchOptionsInput searchOptionsShown() const;
    // A scope changed to a location or a class of service without an entry of
    // its list chosen takes the list's first; false (said) when the list is empty.
    bool scopeEntryChosen();
    // The search options saved from an option or a list; not written, the page shows what is stored.
    void saveOrShowStored();
    // One column of the handler through sp_ModifyDirectoryHandler; true when written.
    bool writeColumn(const QString &column, const QString &value, const QString &auditValue);

    EditingHost &m_host;
    NameLookupHandlerPage &m_page;
    Pickers &m_pickers;
    ControlMemory *m_memory;
};

} // namespace quillor
