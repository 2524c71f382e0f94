#include "editing/namelookupoptions.h"

#include "common/appcontext.h"
#include "common/formatting.h"
#include "details/controltag.h"
#include "details/namelookuppage.h"
#include "details/updown.h"
#include "editing/editinghost.h"
#include "editing/fieldwrite.h"
#include "editing/numberbox.h"
#include "editing/profilefields.h"
#include "editing/rowwrite.h"
#include "editing/searchscope.h"
#include "pickers/frmpickers.h"
#include "pickers/pickerregistry.h"
#include "platform/seams.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

namespace quillor {

namespace {
const QString kProcedure = QStringLiteral("sp_ModifyDirectoryHandler");
const QString kKey = QStringLiteral("DirectoryHandlerObjectID");
const QString kAuditTable = QStringLiteral("NameLookupHandler");

} // namespace

NameLookupOptionsEditing::NameLookupOptionsEditing(EditingHost &host, NameLookupHandlerPage &page, Pickers &pickers,
                                                   QObject *parent)
    : QObject(parent), m_host(host), m_page(page), m_pickers(pickers), m_memory(new ControlMemory(this))
{
    using Self = NameLookupOptionsEditing;
    const auto click = [this](QAbstractButton *control, void (Self::*handler)()) {
        m_page.editLock().release(control);
        connect(control, &QAbstractButton::clicked, this, handler);
    };
    click(page.chkDirectoryHandlerPlayAllNames, &Self::chkDirectoryHandlerPlayAllNames_Click);
    click(page.chkNameLookupHandlerMenuFormatAnnounceExtensions, &Self::chkNameLookupHandlerMenuFormatAnnounceExtensions_Click);
    click(page.optDirHandlerSearchByFirstNameLastName, &Self::optDirHandlerSearchByFirstNameLastName_Click);
    click(page.optDirHandlerSearchByLastNameFirstName, &Self::optDirHandlerSearchByLastNameFirstName_Click);
    click(page.optDirHandlerSearchOptionLocal, &Self::optDirHandlerSearchOptionLocal_Click);
    click(page.optDirHandlerSearchOptionDialingDomain, &Self::optDirHandlerSearchOptionDialingDomain_Click);
    click(page.optDirHandlerSearchOptionLocation, &Self::optDirHandlerSearchOptionLocation_Click);
    click(page.optDirHandlerSearchOptionCOS, &Self::optDirHandlerSearchOptionCOS_Click);
    click(page.optDirHandlerSearchOptionDL, &Self::optDirHandlerSearchOptionDL_Click);
    click(page.cmdDirectoryHandlerSearchInDL, &Self::cmdDirectoryHandlerSearchInDL_Click);
    click(page.optNameLookupHandlerAnnounceMatchedNamesMenuFormat, &Self::optNameLookupHandlerAnnounceMatchedNamesMenuFormat_Click);
    click(page.optNameLookupHandlerAnnounceMatchedNamesExtensionFormat,
          &Self::optNameLookupHandlerAnnounceMatchedNamesExtensionFormat_Click);
    click(page.optNameLookupHandlerOnUniqueMatchRouteAutomatically,
          &Self::optNameLookupHandlerOnUniqueMatchRouteAutomatically_Click);
    click(page.optNameLookupHandlerOnUniqueMatchRequestCallerInput,
          &Self::optNameLookupHandlerOnUniqueMatchRequestCallerInput_Click);

    page.editLock().release(page.cmbDirectoryHandlerLanguage);
    connect(page.cmbDirectoryHandlerLanguage, &QComboBox::activated, this, &Self::cmbDirectoryHandlerLanguage_Click);
    page.editLock().release(page.cmbDirectoryHandlerSearchInCOS);
    whenLeft(page.cmbDirectoryHandlerSearchInCOS, this, [this] { cmbDirectoryHandlerSearchInCOS_Validate(); });
    page.editLock().release(page.cmbDirectoryHandlerSearchInLocation);
    whenLeft(page.cmbDirectoryHandlerSearchInLocation, this, [this] { cmbDirectoryHandlerSearchInLocation_Validate(); });

    page.editLock().release(page.txtDirectoryHandlerMaxMatches);
    page.editLock().release(page.upDownDirectoryHandlerMaxMatches);
    whenNumberCommitted(page.txtDirectoryHandlerMaxMatches, this, [this](int) { return txtDirectoryHandlerMaxMatches_Change(); });

    // What the option pairs showed before a change that is not written.
    m_memory->watchPair(page.optNameLookupHandlerAnnounceMatchedNamesMenuFormat,
                        page.optNameLookupHandlerAnnounceMatchedNamesExtensionFormat);
    m_memory->watchPair(page.optNameLookupHandlerOnUniqueMatchRouteAutomatically,
                        page.optNameLookupHandlerOnUniqueMatchRequestCallerInput);
}

bool NameLookupOptionsEditing::loading() const { return m_host.bLoadingControls(); }

bool NameLookupOptionsEditing::shown() const { return m_host.isShown(ShownNameLookup); }

bool NameLookupOptionsEditing::writeColumn(const QString &column, const QString &value, const QString &auditValue)
{
    return writeField(m_host, {kProcedure, kKey, m_host.CurrentlySelectedObject().ObjectID, {column, value, 200}, kAuditTable,
                        auditValue});
}

void NameLookupOptionsEditing::chkDirectoryHandlerPlayAllNames_Click()
{
    if (loading() || !shown())
        return;
    const QString procedure = QStringLiteral("chkDirectoryHandlerPlayAllNames_Click");
    platform::Recordset rs = openShownRow(m_host, QStringLiteral("NameLookupHandler"),
                                          QStringLiteral("NameLookupHandlerObjectID"), procedure);
    const bool ticked = m_page.chkDirectoryHandlerPlayAllNames->isChecked();
    if (rs.isOpen() && rs.RecordCount() != 1) {
        platform::msgBox(QStringLiteral("Error!  Could not load currently selected name lookup handler from the database"));
        m_page.chkDirectoryHandlerPlayAllNames->setChecked(!ticked);
        return;
    }
    if (rs.isOpen()) {
        rs.MoveFirst();
        rs.setField(QStringLiteral("PlayAllNames"), qint16(ticked ? 1 : 0));
    }
    if (!updateRowAndAudit(m_host, rs,
                           {kAuditTable, m_host.CurrentlySelectedObject().Alias, {}, {}, QStringLiteral("PlayAllNames")},
                           booleanText(ticked), procedure))
        m_page.chkDirectoryHandlerPlayAllNames->setChecked(!ticked); // as stored
}

void NameLookupOptionsEditing::chkNameLookupHandlerMenuFormatAnnounceExtensions_Click()
{
    if (loading() || !shown())
        return;
    const bool ticked = m_page.chkNameLookupHandlerMenuFormatAnnounceExtensions->isChecked();
    if (!writeColumn(QStringLiteral("SayExtension"), ticked ? QStringLiteral("1") : QStringLiteral("0"), booleanText(ticked)))
        m_page.chkNameLookupHandlerMenuFormatAnnounceExtensions->setChecked(!ticked);
}

void NameLookupOptionsEditing::cmbDirectoryHandlerLanguage_Click()
{
    QComboBox *list = m_page.cmbDirectoryHandlerLanguage;
    if (writeLanguage(m_host, list, {ShownNameLookup, kProcedure, kKey, kAuditTable}) == EditResult::NotWritten)
        selectComboText(list, tag(list)); // the language stored
}

void NameLookupOptionsEditing::saveOrShowStored()
{
    if (!SaveDirectoryHandlerSearchOptions())
        m_host.reloadTab();
}

void NameLookupOptionsEditing::cmbDirectoryHandlerSearchInCOS_Validate()
{
    if (!loading() && shown() && m_page.optDirHandlerSearchOptionCOS->isChecked())
        saveOrShowStored();
}

void NameLookupOptionsEditing::cmbDirectoryHandlerSearchInLocation_Validate()
{
    if (!loading() && shown() && m_page.optDirHandlerSearchOptionLocation->isChecked())
        saveOrShowStored();
}

void NameLookupOptionsEditing::searchOption_Click()
{
    if (!loading() && shown())
        saveOrShowStored();
}

void NameLookupOptionsEditing::optDirHandlerSearchOptionDL_Click()
{
    if (loading() || !shown())
        return;
    // A list already chosen is saved; otherwise the administrator picks one.
    if (!m_page.txtDirectoryHandlerSearchInDLDirectoryID->text().isEmpty())
        saveOrShowStored();
    else
        cmdDirectoryHandlerSearchInDL_Click();
}

void NameLookupOptionsEditing::cmdDirectoryHandlerSearchInDL_Click()
{
    if (!shown())
        return;
    NameLookupHandlerPage &p = m_page;
    frmDistributionListSearch &picker = m_pickers.distributionListSearch();
    picker.exec();
    if (picker.bCancelHit) {
        p.txtDirectoryHandlerSearchInDL->clear();
        p.txtDirectoryHandlerSearchInDLDirectoryID->clear();
    } else if (picker.strDomainName.isEmpty()) {
        p.txtDirectoryHandlerSearchInDL->clear();
        p.txtDirectoryHandlerSearchInDLDirectoryID->clear();
        platform::msgBox(QStringLiteral("No SMTP address found for that distribution list - it cannot be set as the scope "
                                        "to this name lookup handler."));
    } else {
        const ScopeListPick pick{picker.strDirectoryID, picker.strDisplayName, picker.strDomainName};
        p.txtDirectoryHandlerSearchInDL->setText(pick.displayName);
        p.txtDirectoryHandlerSearchInDLDirectoryID->setText(pick.directoryId);
        p.txtDirectoryHandlerSearchInDLDomainName->setText(pick.smtpDomain);
        SaveDirectoryHandlerSearchOptions(&pick);
    }
    // The page shows what is stored now, whatever happened.
    m_host.reloadTab();
}

SearchOptionsInput NameLookupOptionsEditing::searchOptionsShown() const
{
    const NameLookupHandlerPage &p = m_page;
    SearchOptionsInput in;
    in.byFirstName = p.optDirHandlerSearchByFirstNameLastName->isChecked();
    // The scope object of a list: the hidden twin's entry at the shown entry's position.
    const auto listed = [&](const QComboBox *shownList, const QComboBox *ids) {
        in.scopeName = shownList->currentText();
        const int position = shownList->currentIndex();
        if (position >= 0 && position < ids->count())
            in.scopeObjectId = ids->itemText(position);
    };
    if (p.optDirHandlerSearchOptionCOS->isChecked()) {
        in.scope = SearchScope::ClassOfService;
        listed(p.cmbDirectoryHandlerSearchInCOS, p.cmbDirectoryHandlerSearchInCOSObjectID);
    } else if (p.optDirHandlerSearchOptionDL->isChecked()) {
        in.scope = SearchScope::DistributionList;
        in.scopeName = p.txtDirectoryHandlerSearchInDL->text();
        // The handler's stored scope list (as loaded, or as the last save made it).
        if (!p.txtDirectoryHandlerSearchInDLDirectoryID->text().isEmpty())
            in.scopeObjectId = p.txtDirectoryHandlerSearchInDLDirectoryID->text();
    } else if (p.optDirHandlerSearchOptionLocal->isChecked()) {
        in.scope = SearchScope::Local;
    } else if (p.optDirHandlerSearchOptionDialingDomain->isChecked()) {
        in.scope = SearchScope::DialingDomain;
    } else if (p.optDirHandlerSearchOptionLocation->isChecked()) {
        in.scope = SearchScope::Location;
        listed(p.cmbDirectoryHandlerSearchInLocation, p.cmbDirectoryHandlerSearchInLocationObjectID);
    }
    return in;
}

bool NameLookupOptionsEditing::SaveDirectoryHandlerSearchOptions(const ScopeListPick *freshPick)
{
    if (!shown())
        return false;
    NameLookupHandlerPage &p = m_page;
    if (!scopeEntryChosen())
        return false;
    if (!p.optDirHandlerSearchOptionDL->isChecked()) {
        p.txtDirectoryHandlerSearchInDL->clear();
        p.txtDirectoryHandlerSearchInDLDirectoryID->clear();
    }
    SearchOptionsInput in = searchOptionsShown();
    if (!in.scope)
        platform::msgBox(QStringLiteral(
            "Error! Invalid option selected for search scope value in SaveDirectoryHandlerSearchOptions routine"));
    const AuditEntry audit{kAuditTable, m_host.CurrentlySelectedObject().Alias, {}, {}, QStringLiteral("SearchOptions")};
    if (in.scope == SearchScope::DistributionList && freshPick) {
        const QString scopeList =
            CreateScopeDList(m_host, freshPick->directoryId, freshPick->displayName, freshPick->smtpDomain);
        p.txtDirectoryHandlerSearchInDLDirectoryID->setText(scopeList);
        if (scopeList.isEmpty()) {
            // Written without its list, the handler would lose the list it
            // searches: it keeps every search option it has.
            m_host.ctx().log().LogAction(FAILED_UPDATE, audit.table, audit.alias, audit.parentTable, audit.parentAlias,
                                         audit.column, searchOptionsWrite(QString(), in).auditText);
            return false;
        }
        in.scopeObjectId = scopeList;
    }
    const SearchOptionsWrite w = searchOptionsWrite(m_host.CurrentlySelectedObject().ObjectID, in);
    if (!writeAndAudit(m_host.ctx(), kProcedure, w.params, audit, w.auditText))
        return false;
    if (in.scope)
        setTag(p.frameADSearchOptions, QString::number(qint16(*in.scope)));
    return true;
}

bool NameLookupOptionsEditing::scopeEntryChosen()
{
    NameLookupHandlerPage &p = m_page;
    const bool cos = p.optDirHandlerSearchOptionCOS->isChecked();
    if (!cos && !p.optDirHandlerSearchOptionLocation->isChecked())
        return true;
    QComboBox *list = cos ? p.cmbDirectoryHandlerSearchInCOS : p.cmbDirectoryHandlerSearchInLocation;
    QComboBox *ids = cos ? p.cmbDirectoryHandlerSearchInCOSObjectID : p.cmbDirectoryHandlerSearchInLocationObjectID;
    const SearchScope scope = cos ? SearchScope::ClassOfService : SearchScope::Location;
    // A handler that keeps its kind of scope may keep a stored object the list
    // does not show; a new kind must name one of the list's own.
    if (list->currentIndex() >= 0 || tag(p.frameADSearchOptions) == QString::number(qint16(scope)))
        return true;
    if (list->count() == 0 || ids->count() == 0) {
        platform::msgBox(cos ? QStringLiteral("There is no class of service to search in. The search scope stays as it was.")
                             : QStringLiteral("There is no location to search in. The search scope stays as it was."));
        return false;
    }
    // The list's first entry, as start-up chooses it.
    selectComboIndex(list, 0);
    return true;
}

void NameLookupOptionsEditing::optNameLookupHandlerAnnounceMatchedNamesMenuFormat_Click()
{
    if (loading() || !shown())
        return;
    QRadioButton *menu = m_page.optNameLookupHandlerAnnounceMatchedNamesMenuFormat;
    QCheckBox *announce = m_page.chkNameLookupHandlerMenuFormatAnnounceExtensions;
    const bool menuFormat = menu->isChecked();
    m_page.editLock().setUsable(announce, menuFormat);
    if (writeColumn(QStringLiteral("MenuStyle"), menuFormat ? QStringLiteral("1") : QStringLiteral("0"), booleanText(menuFormat)))
        return;
    m_memory->restore(menu);
    m_page.editLock().setUsable(announce, menu->isChecked());
}

void NameLookupOptionsEditing::optNameLookupHandlerOnUniqueMatchRouteAutomatically_Click()
{
    if (loading() || !shown())
        return;
    QRadioButton *route = m_page.optNameLookupHandlerOnUniqueMatchRouteAutomatically;
    const bool automatically = route->isChecked();
    if (!writeColumn(QStringLiteral("AutoRoute"), automatically ? QStringLiteral("1") : QStringLiteral("0"),
                     booleanText(automatically)))
        m_memory->restore(route);
}

bool NameLookupOptionsEditing::txtDirectoryHandlerMaxMatches_Change()
{
    if (loading() || !shown())
        return true;
    const QString text = QString::number(m_page.txtDirectoryHandlerMaxMatches->value());
    return writeColumn(QStringLiteral("MaxMatches"), text, text);
}

} // namespace quillor
