#include "details/namelookuppage.h"

#include "common/appcontext.h"
#include "common/objectid.h"
#include "details/controltag.h"
#include "details/pagebuild.h"
#include "details/updown.h"
#include "platform/seams.h"
#include "platform/validatingedit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
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

namespace {

QRadioButton *option(QWidget *parent, const QString &caption, const char *name)
{
    return named(new QRadioButton(caption, parent), QString::fromLatin1(name));
}

// A group of two option buttons, one above the other.
QGroupBox *optionPair(QWidget *parent, const QString &caption, QRadioButton *&first, const QString &firstCaption,
                      const char *firstName, QRadioButton *&second, const QString &secondCaption, const char *secondName)
{
    auto *box = new QGroupBox(caption, parent);
    auto *layout = new QVBoxLayout(box);
    first = option(box, firstCaption, firstName);
    second = option(box, secondCaption, secondName);
    layout->addWidget(first);
    layout->addWidget(second);
    return box;
}

// The option that is on, the other off.
void choose(bool firstOn, QRadioButton *first, QRadioButton *second) { (firstOn ? first : second)->setChecked(true); }

} // namespace

NameLookupHandlerPage::NameLookupHandlerPage(QWidget *parent) : DetailPage(parent)
{
    setObjectName(QStringLiteral("NameLookupHandlerPage"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    tabDirectoryHandlerInfo = named(new QTabWidget(this), QStringLiteral("tabDirectoryHandlerInfo"));
    tabDirectoryHandlerInfo->addTab(createProfilePage(), QStringLiteral("Profile"));
    tabDirectoryHandlerInfo->addTab(createSearchOptionsPage(), QStringLiteral("Search Options"));
    tabDirectoryHandlerInfo->addTab(createCallerInputPage(), QStringLiteral("Caller Input"));
    tabDirectoryHandlerInfo->addTab(createMatchListPage(), QStringLiteral("Match List Options"));
    layout->addWidget(tabDirectoryHandlerInfo);
}

QWidget *NameLookupHandlerPage::createProfilePage()
{
    QWidget *page = nullptr;
    QFormLayout *form = formPage(tabDirectoryHandlerInfo, QStringLiteral("pageDirectoryHandlerProfile"), &page);
    QWidget *content = form->parentWidget();
    txtDirectoryHandlerAlias = readOnlyBox(content, QStringLiteral("txtDirectoryHandlerAlias"));
    txtDirectoryHandlerDisplayName =
        named(new platform::ValidatingLineEdit(content), QStringLiteral("txtDirectoryHandlerDisplayName"));
    txtDirectoryHandlerExtension = named(new platform::ValidatingLineEdit(content), QStringLiteral("txtDirectoryHandlerExtension"));
    cmbDirectoryHandlerLanguage = named(new QComboBox(content), QStringLiteral("cmbDirectoryHandlerLanguage"));
    txtDirectoryHandlerOwner = readOnlyBox(content, QStringLiteral("txtDirectoryHandlerOwner"));
    cmdChangeDirectoryHandlerOwner =
        named(new QPushButton(QStringLiteral("Change"), content), QStringLiteral("cmdChangeDirectoryHandlerOwner"));
    chkDirectoryHandlerPlayAllNames =
        named(new QCheckBox(QStringLiteral("Play All Names"), content), QStringLiteral("chkDirectoryHandlerPlayAllNames"));
    m_lock.lock({txtDirectoryHandlerDisplayName, txtDirectoryHandlerExtension, cmbDirectoryHandlerLanguage,
                 cmdChangeDirectoryHandlerOwner, chkDirectoryHandlerPlayAllNames});
    form->addRow(QStringLiteral("Alias"), txtDirectoryHandlerAlias);
    form->addRow(QStringLiteral("Display Name"), txtDirectoryHandlerDisplayName);
    form->addRow(QStringLiteral("Extension"), txtDirectoryHandlerExtension);
    form->addRow(QStringLiteral("Language Callers Hear"), cmbDirectoryHandlerLanguage);
    form->addRow(QStringLiteral("Owner"), withButton(content, txtDirectoryHandlerOwner, cmdChangeDirectoryHandlerOwner));
    form->addRow(chkDirectoryHandlerPlayAllNames);
    return page;
}

QWidget *NameLookupHandlerPage::createSearchOptionsPage()
{
    auto *page = named(new QWidget, QStringLiteral("pageDirectoryHandlerSearchOptions"));
    auto *layout = new QVBoxLayout(page);

    frameADSearchOptions = named(new QGroupBox(QStringLiteral("Search in:"), page), QStringLiteral("frameADSearchOptions"));
    QWidget *in = frameADSearchOptions;
    auto *grid = new QGridLayout(in);
    optDirHandlerSearchOptionLocal = option(in, QStringLiteral("Local Varko Tolva servers only"), "optDirHandlerSearchOptionLocal");
    optDirHandlerSearchOptionDialingDomain = option(in, QStringLiteral("Dialing Domain"), "optDirHandlerSearchOptionDialingDomain");
    optDirHandlerSearchOptionLocation = option(in, QStringLiteral("Location:"), "optDirHandlerSearchOptionLocation");
    cmbDirectoryHandlerSearchInLocation = named(new QComboBox(in), QStringLiteral("cmbDirectoryHandlerSearchInLocation"));
    cmbDirectoryHandlerSearchInLocationObjectID =
        named(new QComboBox(in), QStringLiteral("cmbDirectoryHandlerSearchInLocationObjectID"));
    optDirHandlerSearchOptionDL = option(in, QStringLiteral("Public Distribution List:"), "optDirHandlerSearchOptionDL");
    txtDirectoryHandlerSearchInDL = readOnlyBox(in, QStringLiteral("txtDirectoryHandlerSearchInDL"));
    cmdDirectoryHandlerSearchInDL =
        named(new QPushButton(QStringLiteral("Search..."), in), QStringLiteral("cmdDirectoryHandlerSearchInDL"));
    txtDirectoryHandlerSearchInDLDirectoryID = hiddenBox(in, QStringLiteral("txtDirectoryHandlerSearchInDLDirectoryID"));
    txtDirectoryHandlerSearchInDLDomainName = hiddenBox(in, QStringLiteral("txtDirectoryHandlerSearchInDLDomainName"));
    optDirHandlerSearchOptionCOS = option(in, QStringLiteral("Class of Service:"), "optDirHandlerSearchOptionCOS");
    cmbDirectoryHandlerSearchInCOS = named(new QComboBox(in), QStringLiteral("cmbDirectoryHandlerSearchInCOS"));
    cmbDirectoryHandlerSearchInCOSObjectID = named(new QComboBox(in), QStringLiteral("cmbDirectoryHandlerSearchInCOSObjectID"));
    cmbDirectoryHandlerSearchInLocationObjectID->hide();
    cmbDirectoryHandlerSearchInCOSObjectID->hide();
    grid->addWidget(optDirHandlerSearchOptionLocal, 0, 0, 1, 2);
    grid->addWidget(optDirHandlerSearchOptionDialingDomain, 1, 0, 1, 2);
    grid->addWidget(optDirHandlerSearchOptionLocation, 2, 0);
    grid->addWidget(cmbDirectoryHandlerSearchInLocation, 2, 1);
    grid->addWidget(optDirHandlerSearchOptionDL, 3, 0);
    grid->addWidget(withButton(in, txtDirectoryHandlerSearchInDL, cmdDirectoryHandlerSearchInDL), 3, 1);
    grid->addWidget(optDirHandlerSearchOptionCOS, 4, 0);
    grid->addWidget(cmbDirectoryHandlerSearchInCOS, 4, 1);
    grid->setColumnStretch(1, 1);
    layout->addWidget(frameADSearchOptions);

    frameDirectoryHandlerSearchBy =
        optionPair(page, QStringLiteral("Search by:"), optDirHandlerSearchByFirstNameLastName,
                   QStringLiteral("First name, last name"), "optDirHandlerSearchByFirstNameLastName",
                   optDirHandlerSearchByLastNameFirstName, QStringLiteral("Last name, first name"),
                   "optDirHandlerSearchByLastNameFirstName");
    frameDirectoryHandlerSearchBy->setObjectName(QStringLiteral("frameDirectoryHandlerSearchBy"));
    layout->addWidget(frameDirectoryHandlerSearchBy);
    layout->addStretch(1);
    m_lock.lock({optDirHandlerSearchOptionLocal, optDirHandlerSearchOptionDialingDomain, optDirHandlerSearchOptionLocation,
                 cmbDirectoryHandlerSearchInLocation, optDirHandlerSearchOptionDL, cmdDirectoryHandlerSearchInDL,
                 optDirHandlerSearchOptionCOS, cmbDirectoryHandlerSearchInCOS, optDirHandlerSearchByFirstNameLastName,
                 optDirHandlerSearchByLastNameFirstName});
    return scrolled(page, tabDirectoryHandlerInfo);
}

QWidget *NameLookupHandlerPage::createCallerInputPage()
{
    auto *page = pageCallerInput = named(new QWidget, QStringLiteral("pageDirectoryHandlerCallerInput"));
    auto *layout = new QVBoxLayout(page);
    const auto exit = [&](const QString &label, const char *box, QLineEdit *&text, const char *button, QPushButton *&set) {
        auto *caption = new QLabel(label, page);
        caption->setWordWrap(true);
        layout->addWidget(caption);
        text = readOnlyBox(page, QString::fromLatin1(box));
        set = named(new QPushButton(QStringLiteral("Set"), page), QString::fromLatin1(button));
        m_lock.lock(set);
        layout->addWidget(withButton(page, text, set));
    };
    exit(QStringLiteral("User exit action (user hits * or #)"), "txtDirectoryHandlerExitAction", txtDirectoryHandlerExitAction,
         "cmdDirectoryHandlerSetExit", cmdDirectoryHandlerSetExit);
    exit(QStringLiteral("Zero exit action"), "txtDirectoryHandlerZeroExitAction", txtDirectoryHandlerZeroExitAction,
         "cmdDirectoryHandlerSetZeroExit", cmdDirectoryHandlerSetZeroExit);
    exit(QStringLiteral("No selection action (user fails to pick a name from the list)"),
         "txtDirectoryHandlerNoSelectionExitAction", txtDirectoryHandlerNoSelectionExitAction,
         "cmdDirectoryHandlerSetNoSelectionExit", cmdDirectoryHandlerSetNoSelectionExit);
    exit(QStringLiteral("No input action (user does not enter name)"), "txtDirectoryHandlerNoInputExitAction",
         txtDirectoryHandlerNoInputExitAction, "cmdDirectoryHandlerSetNoInputExit", cmdDirectoryHandlerSetNoInputExit);
    layout->addStretch(1);
    return scrolled(page, tabDirectoryHandlerInfo);
}

QWidget *NameLookupHandlerPage::createMatchListPage()
{
    auto *page = named(new QWidget, QStringLiteral("pageDirectoryHandlerMatchList"));
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(optionPair(page, QStringLiteral("On a unique match:"), optNameLookupHandlerOnUniqueMatchRouteAutomatically,
                                 QStringLiteral("Route automatically"), "optNameLookupHandlerOnUniqueMatchRouteAutomatically",
                                 optNameLookupHandlerOnUniqueMatchRequestCallerInput,
                                 QStringLiteral("Request caller input first"),
                                 "optNameLookupHandlerOnUniqueMatchRequestCallerInput"));
    QGroupBox *announce = optionPair(
        page, QStringLiteral("Announce matched names using:"), optNameLookupHandlerAnnounceMatchedNamesMenuFormat,
        QStringLiteral("Menu format"), "optNameLookupHandlerAnnounceMatchedNamesMenuFormat",
        optNameLookupHandlerAnnounceMatchedNamesExtensionFormat, QStringLiteral("Extension format"),
        "optNameLookupHandlerAnnounceMatchedNamesExtensionFormat");
    chkNameLookupHandlerMenuFormatAnnounceExtensions =
        named(new QCheckBox(QStringLiteral("Announce extension with each name"), announce),
              QStringLiteral("chkNameLookupHandlerMenuFormatAnnounceExtensions"));
    announce->layout()->addWidget(chkNameLookupHandlerMenuFormatAnnounceExtensions);
    layout->addWidget(announce);

    auto *maxMatches = new QHBoxLayout;
    maxMatches->addWidget(new QLabel(QStringLiteral("Maximum matches allowed:"), page));
    txtDirectoryHandlerMaxMatches = numberBox(page, QStringLiteral("txtDirectoryHandlerMaxMatches"), 0, 50, 1, 8);
    upDownDirectoryHandlerMaxMatches =
        named(new UpDownControl(txtDirectoryHandlerMaxMatches, page), QStringLiteral("upDownDirectoryHandlerMaxMatches"));
    maxMatches->addWidget(txtDirectoryHandlerMaxMatches);
    maxMatches->addWidget(upDownDirectoryHandlerMaxMatches);
    maxMatches->addStretch(1);
    layout->addLayout(maxMatches);
    layout->addStretch(1);
    m_lock.lock({optNameLookupHandlerOnUniqueMatchRouteAutomatically, optNameLookupHandlerOnUniqueMatchRequestCallerInput,
                 optNameLookupHandlerAnnounceMatchedNamesMenuFormat, optNameLookupHandlerAnnounceMatchedNamesExtensionFormat,
                 chkNameLookupHandlerMenuFormatAnnounceExtensions, txtDirectoryHandlerMaxMatches,
                 upDownDirectoryHandlerMaxMatches});
    return scrolled(page, tabDirectoryHandlerInfo);
}

QRadioButton *NameLookupHandlerPage::scopeOption(int searchScope) const
{
    switch (searchScope) {
    case 0: return optDirHandlerSearchOptionLocal;
    case 1: return optDirHandlerSearchOptionDialingDomain;
    case 3: return optDirHandlerSearchOptionLocation;
    case 4: return optDirHandlerSearchOptionDL;
    case 5: return optDirHandlerSearchOptionCOS;
    default: return nullptr;
    }
}

void NameLookupHandlerPage::resetControls()
{
    for (QLineEdit *box : std::initializer_list<QLineEdit *>{
             txtDirectoryHandlerAlias, txtDirectoryHandlerDisplayName, txtDirectoryHandlerExtension,
             txtDirectoryHandlerOwner, txtDirectoryHandlerSearchInDL, txtDirectoryHandlerSearchInDLDirectoryID,
             txtDirectoryHandlerSearchInDLDomainName, txtDirectoryHandlerExitAction, txtDirectoryHandlerZeroExitAction,
             txtDirectoryHandlerNoSelectionExitAction, txtDirectoryHandlerNoInputExitAction}) {
        box->clear();
        setTag(box, QString());
    }
    txtDirectoryHandlerMaxMatches->clear();
    setTag(frameADSearchOptions, QString());
    // No scope object of the handler shown before stays chosen.
    for (QComboBox *combo : {cmbDirectoryHandlerLanguage, cmbDirectoryHandlerSearchInLocation,
                             cmbDirectoryHandlerSearchInLocationObjectID, cmbDirectoryHandlerSearchInCOS,
                             cmbDirectoryHandlerSearchInCOSObjectID}) {
        clearComboSelection(combo);
        setTag(combo, QString());
    }
    for (QCheckBox *check : {chkDirectoryHandlerPlayAllNames, chkNameLookupHandlerMenuFormatAnnounceExtensions})
        check->setChecked(false);
    clearOptions({optDirHandlerSearchOptionLocal, optDirHandlerSearchOptionDialingDomain, optDirHandlerSearchOptionLocation,
                  optDirHandlerSearchOptionDL, optDirHandlerSearchOptionCOS});
    clearOptions({optDirHandlerSearchByFirstNameLastName, optDirHandlerSearchByLastNameFirstName});
    clearOptions({optNameLookupHandlerOnUniqueMatchRouteAutomatically, optNameLookupHandlerOnUniqueMatchRequestCallerInput});
    clearOptions({optNameLookupHandlerAnnounceMatchedNamesMenuFormat, optNameLookupHandlerAnnounceMatchedNamesExtensionFormat});
}

void NameLookupHandlerPage::selectScopeObject(const PageLoad &run, QComboBox *shown, QComboBox *ids,
                                              const QString &objectId, const QString &what)
{
    const QString wanted = normalizedObjectId(objectId);
    for (int i = 0; i < ids->count(); ++i) {
        if (normalizedObjectId(ids->itemText(i)) == wanted && !wanted.isEmpty()) {
            selectComboIndex(ids, i);
            selectComboIndex(shown, i);
            return;
        }
    }
    run.log(QStringLiteral("the %1 %2 is not in the list %3").arg(what, objectId, shown->objectName()));
}

bool NameLookupHandlerPage::load(AppContext &ctx, const QString &strObjectID, SelectedObject &selected)
{
    const PageLoad run(ctx, QStringLiteral("LoadTabNameLookupHandler"));
    resetControls();

    Recordset rs = run.open(QStringLiteral("SELECT * FROM vw_NameLookupHandler WHERE NameLookupHandlerObjectId=?"),
                            {normalizedObjectId(strObjectID)});
    if (rs.isOpen() && rs.RecordCount() != 1)
        msgBox(QStringLiteral("Error in LoadTabInfo. could not find directory handler object id:") + strObjectID);
    if (rs.RecordCount() != 1) {
        showNotFound(tabDirectoryHandlerInfo, selected);
        return false;
    }
    tabDirectoryHandlerInfo->setEnabled(true);
    rs.MoveFirst();

    selected.ObjectType = 6;
    selected.Alias = rs.text(QStringLiteral("Alias"));
    selected.DisplayName = rs.text(QStringLiteral("TextName"));
    selected.ObjectID = strObjectID;

    // Profile
    emit titleChanged(rs.text(QStringLiteral("TextName")));
    txtDirectoryHandlerAlias->setText(rs.text(QStringLiteral("Alias")));
    txtDirectoryHandlerDisplayName->setText(rs.text(QStringLiteral("TextName")));
    setTag(txtDirectoryHandlerDisplayName, txtDirectoryHandlerDisplayName->text());
    txtDirectoryHandlerExtension->setText(rs.text(QStringLiteral("DTMFAccessID")));
    setTag(txtDirectoryHandlerExtension, txtDirectoryHandlerExtension->text());
    run.selectLanguage(cmbDirectoryHandlerLanguage, rs, QStringLiteral("Language"));
    setTag(cmbDirectoryHandlerLanguage, cmbDirectoryHandlerLanguage->currentText());
    const PageLoad::Owner owner = run.findOwner(rs, QStringLiteral("AdministratorObjectID"), 0);
    txtDirectoryHandlerOwner->setText(owner.name);
    setTag(txtDirectoryHandlerOwner, QString::number(owner.kind));
    chkDirectoryHandlerPlayAllNames->setChecked(PageLoad::isTrue(rs, QStringLiteral("PlayAllNames")));

    // Search options
    const int scope = rs.isNull(QStringLiteral("SearchScope")) ? -1 : rs.field(QStringLiteral("SearchScope")).toInt();
    QRadioButton *scopeButton = scopeOption(scope);
    if (!scopeButton) {
        msgBox(QStringLiteral("Invalid SearchScope setting for the currently selected name lookup handler"));
        scopeButton = optDirHandlerSearchOptionLocal;
    }
    scopeButton->setChecked(true);
    // The stored kind of scope: a save that keeps it may keep its stored object.
    setTag(frameADSearchOptions, QString::number(scope));
    const QString scopeObject = rs.text(QStringLiteral("SearchScopeObjectID"));
    if (scope == 3) {
        selectScopeObject(run, cmbDirectoryHandlerSearchInLocation, cmbDirectoryHandlerSearchInLocationObjectID, scopeObject,
                          QStringLiteral("location"));
    } else if (scope == 5) {
        selectScopeObject(run, cmbDirectoryHandlerSearchInCOS, cmbDirectoryHandlerSearchInCOSObjectID, scopeObject,
                          QStringLiteral("class of service"));
    } else if (scope == 4) {
        const PageLoad::Owner list = run.findOwner(rs, QStringLiteral("SearchScopeObjectID"), 0);
        txtDirectoryHandlerSearchInDL->setText(list.name);
        setTag(txtDirectoryHandlerSearchInDL, QString::number(list.kind));
        txtDirectoryHandlerSearchInDLDirectoryID->setText(scopeObject);
    }
    choose(PageLoad::isTrue(rs, QStringLiteral("SearchByFirstName")), optDirHandlerSearchByFirstNameLastName,
           optDirHandlerSearchByLastNameFirstName);

    // Caller input: each exit from its own three columns, their destinations looked up at once.
    const auto exitColumns = [&rs](const QString &exit) {
        return PageLoad::ActionColumns{rs, exit + QStringLiteral("Conversation"), exit + QStringLiteral("Action"),
                                       exit + QStringLiteral("ObjectID")};
    };
    run.lookUpDestinations({exitColumns(QStringLiteral("Exit")), exitColumns(QStringLiteral("Zero")),
                            exitColumns(QStringLiteral("NoSelection")), exitColumns(QStringLiteral("NoInput"))});
    const auto exitText = [&](const QString &exit) {
        return run.actionText(rs, exit + QStringLiteral("Conversation"), exit + QStringLiteral("Action"),
                              exit + QStringLiteral("ObjectID"));
    };
    txtDirectoryHandlerExitAction->setText(exitText(QStringLiteral("Exit")));
    txtDirectoryHandlerZeroExitAction->setText(exitText(QStringLiteral("Zero")));
    txtDirectoryHandlerNoSelectionExitAction->setText(exitText(QStringLiteral("NoSelection")));
    txtDirectoryHandlerNoInputExitAction->setText(exitText(QStringLiteral("NoInput")));

    // Match list options
    choose(PageLoad::isTrue(rs, QStringLiteral("AutoRoute")), optNameLookupHandlerOnUniqueMatchRouteAutomatically,
           optNameLookupHandlerOnUniqueMatchRequestCallerInput);
    const bool menuStyle = PageLoad::isTrue(rs, QStringLiteral("MenuStyle"));
    choose(menuStyle, optNameLookupHandlerAnnounceMatchedNamesMenuFormat,
           optNameLookupHandlerAnnounceMatchedNamesExtensionFormat);
    m_lock.setUsable(chkNameLookupHandlerMenuFormatAnnounceExtensions, menuStyle);
    chkNameLookupHandlerMenuFormatAnnounceExtensions->setChecked(PageLoad::isTrue(rs, QStringLiteral("SayExtension")));
    showStoredNumber(txtDirectoryHandlerMaxMatches, rs.text(QStringLiteral("MaxMatches")));
    return true;
}

} // namespace quillor
