#pragma once
// The "Directory Handler" page of the detail pane: the profile of one name
// lookup handler, where and in which name order it searches, its four exits
// and how it offers what it found.

#include "details/detailpage.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;

namespace quillor {

namespace platform {
class ValidatingLineEdit;
}

class AppContext;
class UpDownControl;

class NameLookupHandlerPage : public DetailPage {
    Q_OBJECT
public:
    explicit NameLookupHandlerPage(QWidget *parent = nullptr);

    // Fills the page with one name lookup handler and makes it the shown
    // object. False when it was not found: the page is then emptied and
    // disabled and nothing is shown.
    bool load(AppContext &ctx, const QString &strObjectID, SelectedObject &selected);

    // The search scope's option button of a stored SearchScope; none for a
    // value without one.
    QRadioButton *scopeOption(int searchScope) const;

    QTabWidget *tabDirectoryHandlerInfo = nullptr;

    // Profile
    QLineEdit *txtDirectoryHandlerAlias = nullptr;
    platform::ValidatingLineEdit *txtDirectoryHandlerDisplayName = nullptr;
    platform::ValidatingLineEdit *txtDirectoryHandlerExtension = nullptr;
    QComboBox *cmbDirectoryHandlerLanguage = nullptr;
    QLineEdit *txtDirectoryHandlerOwner = nullptr;
    QPushButton *cmdChangeDirectoryHandlerOwner = nullptr;
    QCheckBox *chkDirectoryHandlerPlayAllNames = nullptr;

    // Search options
    QGroupBox *frameADSearchOptions = nullptr;
    QRadioButton *optDirHandlerSearchOptionLocal = nullptr;
    QRadioButton *optDirHandlerSearchOptionDialingDomain = nullptr;
    QRadioButton *optDirHandlerSearchOptionLocation = nullptr;
    QComboBox *cmbDirectoryHandlerSearchInLocation = nullptr;
    QComboBox *cmbDirectoryHandlerSearchInLocationObjectID = nullptr; // hidden twin
    QRadioButton *optDirHandlerSearchOptionDL = nullptr;
    QLineEdit *txtDirectoryHandlerSearchInDL = nullptr;
    QPushButton *cmdDirectoryHandlerSearchInDL = nullptr;
    QLineEdit *txtDirectoryHandlerSearchInDLDirectoryID = nullptr; // hidden
    QLineEdit *txtDirectoryHandlerSearchInDLDomainName = nullptr;  // hidden
    QRadioButton *optDirHandlerSearchOptionCOS = nullptr;
    QComboBox *cmbDirectoryHandlerSearchInCOS = nullptr;
    QComboBox *cmbDirectoryHandlerSearchInCOSObjectID = nullptr; // hidden twin
    QGroupBox *frameDirectoryHandlerSearchBy = nullptr;
    QRadioButton *optDirHandlerSearchByFirstNameLastName = nullptr;
    QRadioButton *optDirHandlerSearchByLastNameFirstName = nullptr;

    // Caller input
    QWidget *pageCallerInput = nullptr;
    QLineEdit *txtDirectoryHandlerExitAction = nullptr;
    QPushButton *cmdDirectoryHandlerSetExit = nullptr;
    QLineEdit *txtDirectoryHandlerZeroExitAction = nullptr;
    QPushButton *cmdDirectoryHandlerSetZeroExit = nullptr;
    QLineEdit *txtDirectoryHandlerNoSelectionExitAction = nullptr;
    QPushButton *cmdDirectoryHandlerSetNoSelectionExit = nullptr;
    QLineEdit *txtDirectoryHandlerNoInputExitAction = nullptr;
    QPushButton *cmdDirectoryHandlerSetNoInputExit = nullptr;

    // Match list options
    QRadioButton *optNameLookupHandlerOnUniqueMatchRouteAutomatically = nullptr;
    QRadioButton *optNameLookupHandlerOnUniqueMatchRequestCallerInput = nullptr;
    QRadioButton *optNameLookupHandlerAnnounceMatchedNamesMenuFormat = nullptr;
    QRadioButton *optNameLookupHandlerAnnounceMatchedNamesExtensionFormat = nullptr;
    QCheckBox *chkNameLookupHandlerMenuFormatAnnounceExtensions = nullptr;
    QSpinBox *txtDirectoryHandlerMaxMatches = nullptr;
    UpDownControl *upDownDirectoryHandlerMaxMatches = nullptr;

private:
    QWidget *createProfilePage();
    QWidget *createSearchOptionsPage();
    QWidget *createCallerInputPage();
    QWidget *createMatchListPage();
    void resetControls();
    // Selects the scope object `objectId` in a list and its hidden twin.
    void selectScopeObject(const PageLoad &run, QComboBox *shown, QComboBox *ids, const QString &objectId,
                           const QString &what);
};

} // namespace quillor
