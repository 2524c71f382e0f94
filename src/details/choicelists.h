#pragma once
// The choice lists of the detail pages, read once at start-up: the telephone
// languages the server has loaded, its schedules, and the classes of service
// and locations a name lookup handler can search in. The fixed lists (transfer
// type, greeting source, urgency, repeat) are positions the server stores.

#include <QList>
#include <QString>
#include <QStringList>

class QComboBox;

namespace quillor {

class AppContext;

struct ChoiceLists {
    struct Language {
        QString name;
        qint32 lcid = 0;
    };
    struct Scope {
        QString name;
        QString objectId;
    };
    QList<Language> languages; // without the leading "Inherited"
    QStringList schedules;
    QList<Scope> classesOfService;
    QList<Scope> locations;
};

// The registry's list of loaded telephone languages, split as the server
// writes it: every "," separates, empty pieces and blanks are kept.
QList<ChoiceLists::Language> telephoneLanguages(const QString &loadedValue);

// Each list from the registry or the main database, read in the order the
// start-up fills them. Failures are shown as the start-up's messages and leave
// the list concerned empty.
QList<ChoiceLists::Language> readTelephoneLanguages(AppContext &ctx);
QStringList readSchedules(AppContext &ctx);
QList<ChoiceLists::Scope> readClassesOfService(AppContext &ctx);
QList<ChoiceLists::Scope> readLocations(AppContext &ctx);
QString readTuiLanguageDefault(AppContext &ctx);

// Fixed entries; the position is the stored value.
const QStringList &transferTypeEntries();
const QStringList &greetingSourceEntries();
const QStringList &urgencyEntries();
const QStringList &greetingRepeatEntries();

// "Inherited" (item data 0) and then each language with its LCID as item data.
void fillLanguageList(QComboBox *combo, const QList<ChoiceLists::Language> &languages);
// Clears the list and appends `entries` (no item data).
void fillFixedList(QComboBox *combo, const QStringList &entries);

} // namespace quillor
