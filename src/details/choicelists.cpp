#include "details/choicelists.h"

#include "common/appcontext.h"
#include "common/errors.h"
#include "common/localize.h"
#include "common/registryapi.h"
#include "platform/seams.h"

#include <QComboBox>

namespace quillor {

namespace {

const QString kLanguagesKey = QStringLiteral("SOFTWARE\\Calvex\\SystemParameters\\1.0");
const QString kSetupKey = QStringLiteral("Software\\Calvex\\Quorbel Setup\\1.0\\Properties");

void report(const platform::DbError &error)
{
    reportError(error.number, error.description, QStringLiteral("PopulateControls"), QStringLiteral("Form"),
                QStringLiteral("frmMain"));
}

QString registryText(AppContext &ctx, const QString &key, const QString &value)
{
    return QueryRegValue(ctx.registry(), platform::RootKey::LocalMachine, key, value, REG_SZ, QString()).toString();
}

// Rows of one scope list; a list without rows is reported as the failed move
// to its first row, as every other failure of the start-up is.
QList<ChoiceLists::Scope> readScopes(AppContext &ctx, const QString &sql, const QString &idColumn)
{
    QList<ChoiceLists::Scope> scopes;
    platform::DbError error;
    platform::Recordset rs = ctx.db().open(ctx.state().gConnectionString, sql, {}, &error);
    if (!rs.isOpen()) {
        report(error);
        return scopes;
    }
    if (rs.RecordCount() == 0) {
        report({platform::dberr::NoCurrentRecord,
                QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. Requested "
                               "operation requires a current record.")});
        return scopes;
    }
    for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext())
        scopes.append({rs.text(QStringLiteral("TextName")), rs.text(idColumn)});
    return scopes;
}

} // namespace

QList<ChoiceLists::Language> telephoneLanguages(const QString &loadedValue)
{
    QList<ChoiceLists::Language> languages;
    if (loadedValue.isEmpty())
        return languages;
    for (const QString &code : loadedValue.split(u',', Qt::KeepEmptyParts))
        languages.append({strLanguageDisplayName(code), lngLCIDFromLanguageCode(code)});
    return languages;
}

QList<ChoiceLists::Language> readTelephoneLanguages(AppContext &ctx)
{
    return telephoneLanguages(registryText(ctx, kLanguagesKey, QStringLiteral("TUI Languages Loaded")));
}

QStringList readSchedules(AppContext &ctx)
{
    QStringList names;
    platform::DbError error;
    platform::Recordset rs = ctx.db().open(ctx.state().gConnectionString,
                                           QStringLiteral("SELECT DisplayName FROM vw_Schedule"), {}, &error);
    if (!rs.isOpen()) {
        report(error);
    } else if (rs.RecordCount() == 0) {
        platform::msgBox(QStringLiteral("No schedules are defined on the local Tolva server!"));
    } else {
        for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext())
            names.append(rs.text(QStringLiteral("DisplayName")));
    }
    return names;
}

QList<ChoiceLists::Scope> readClassesOfService(AppContext &ctx)
{
    return readScopes(ctx, QStringLiteral("SELECT COSObjectID, TextName from vw_COS"), QStringLiteral("COSObjectID"));
}

QList<ChoiceLists::Scope> readLocations(AppContext &ctx)
{
    return readScopes(ctx, QStringLiteral("SELECT LocationObjectID, TextName from vw_Location WHERE Alias='default'"),
                      QStringLiteral("LocationObjectID"));
}

QString readTuiLanguageDefault(AppContext &ctx)
{
    return registryText(ctx, kSetupKey, QStringLiteral("TUILanguageDefault"));
}

const QStringList &transferTypeEntries()
{
    static const QStringList entries{QStringLiteral("Release"), QStringLiteral("Supervised")};
    return entries;
}

const QStringList &greetingSourceEntries()
{
    static const QStringList entries{QStringLiteral("System"), QStringLiteral("Recording"), QStringLiteral("Blank")};
    return entries;
}

const QStringList &urgencyEntries()
{
    static const QStringList entries{QStringLiteral("Never"), QStringLiteral("Always"), QStringLiteral("Ask Caller")};
    return entries;
}

const QStringList &greetingRepeatEntries()
{
    static const QStringList entries = [] {
        QStringList list{QStringLiteral("0 times (play once)"), QStringLiteral("1 time")};
        for (int n = 2; n <= 9; ++n)
            list.append(QStringLiteral("%1 times").arg(n));
        return list;
    }();
    return entries;
}

void fillLanguageList(QComboBox *combo, const QList<ChoiceLists::Language> &languages)
{
    combo->clear();
    combo->addItem(QStringLiteral("Inherited"), 0);
    for (const ChoiceLists::Language &language : languages)
        combo->addItem(language.name, language.lcid);
}

void fillFixedList(QComboBox *combo, const QStringList &entries)
{
    combo->clear();
    combo->addItems(entries);
}

} // namespace quillor
