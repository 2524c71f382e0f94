#include "creation/creation.h"

#include "common/appcontext.h"
#include "common/tolvaversion.h"
#include "common/validators.h"
#include "platform/seams.h"

#include <QFile>
#include <QList>

#include <algorithm>

namespace quillor {

using platform::AdoType;
using platform::DbError;
using platform::ProcArg;
using platform::Recordset;

namespace {

const QString kCreateFailed = QStringLiteral("error in cmdCreateHandler_Click:");

// Below this extension length a copied transfer rule rings no number: it
// sends callers to the new handler's greeting.
constexpr int kShortestTransferExtension = 10;

void show(const QString &text)
{
    platform::msgBox(text);
}

const QString &connection(AppContext &ctx)
{
    return ctx.state().gConnectionString;
}

const QString kControlInName =
    QStringLiteral("The name cannot contain control characters such as tabs or line breaks!");

// A tab, a NUL, DEL or any other control character (C0 or C1, where U+0085
// is a line break), or a line or paragraph separator.
bool hasControlCharacter(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) {
        return c.category() == QChar::Other_Control || c.unicode() == 0x2028 || c.unicode() == 0x2029;
    });
}

const QString kDirectionInName = QStringLiteral(
    "The name cannot contain the characters that change the direction of text (U+202A to U+202E, U+2066 to U+2069)!");

// The embeddings, overrides and isolates: they turn the text after them
// around wherever the name shows, so one name would read as another.
bool hasDirectionControl(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) {
        return (c.unicode() >= 0x202A && c.unicode() <= 0x202E) || (c.unicode() >= 0x2066 && c.unicode() <= 0x2069);
    });
}

// A failure of the database before a creation's transaction began: shown and
// logged as FAILED_ADD_NEW, as one inside the transaction is.
void refusedByDatabase(AppContext &ctx, const QString &auditTable, const QString &alias, const QString &message)
{
    show(message);
    ctx.log().LogAction(FAILED_ADD_NEW, auditTable, alias, {}, {}, {}, message);
}

// The checks every creation makes on the typed name and extension before it
// reads anything else: a name that leaves an alias and holds no control
// character (it would split the log's audit lines, the tree export and the
// grid's rows) nor direction control, an extension that is a valid number
// nobody in the dialing domain has. Gives the name without surrounding blanks
// (as the detail pages store a name), the free alias and the trimmed
// extension. A read the database refuses is logged under `auditTable`.
bool checkRequest(AppContext &ctx, const NewHandlerRequest &request, const QString &noNameMessage,
                  const QString &aliasView, const QString &auditTable, QString *name, QString *alias,
                  QString *extension)
{
    *name = trimBlanks(request.name);
    // A name of blanks (or apostrophes) only would make an empty alias.
    const QString base = aliasForName(*name);
    if (name->isEmpty() || base.isEmpty()) {
        show(noNameMessage);
        return false;
    }
    if (hasControlCharacter(*name)) {
        show(kControlInName);
        return false;
    }
    if (hasDirectionControl(*name)) {
        show(kDirectionInName);
        return false;
    }
    // Checked again here: Create can be pressed without leaving the extension box.
    *extension = request.extension.trimmed();
    if (!extension->isEmpty()) {
        if (!isValidExtension(*extension, 0))
            return false;
        DbError error;
        Recordset owners = openDialingDomainExtension(ctx, *extension, &error);
        if (!owners.isOpen()) {
            refusedByDatabase(ctx, auditTable, base, kCreateFailed + error.description);
            return false;
        }
        if (owners.RecordCount() > 0) {
            QString message = QStringLiteral("That extension is in use by the following objects:\r\n");
            for (owners.MoveFirst(); !owners.isEOF(); owners.MoveNext())
                message += QStringLiteral("    ") + strObjectTypeName(owners.field(QStringLiteral("ObjectType")))
                           + QStringLiteral(" with display name=") + owners.text(QStringLiteral("DisplayName"))
                           + QStringLiteral("\r\n");
            show(message);
            return false;
        }
    }
    DbError error;
    const std::optional<QString> free = uniqueAlias(ctx, aliasView, base, &error);
    if (!free) {
        refusedByDatabase(ctx, auditTable, base, kCreateFailed + error.description);
        return false;
    }
    *alias = *free;
    return true;
}

// Whether an object of `view` has the alias; nullopt when the look-up failed.
std::optional<bool> aliasInUse(AppContext &ctx, const QString &view, const QString &alias, DbError *error)
{
    const Recordset rs =
        ctx.db().open(connection(ctx), QStringLiteral("SELECT Alias FROM %1 WHERE Alias = ?").arg(view), {alias}, error);
    if (!rs.isOpen())
        return std::nullopt;
    return rs.RecordCount() > 0;
}

// The kind of object a creation's audit table stands for, as a message names it.
QString kindName(const QString &auditTable)
{
    if (auditTable == QLatin1String("CallHandler"))
        return QStringLiteral("call handler");
    if (auditTable == QLatin1String("DirectoryHandler"))
        return QStringLiteral("directory handler");
    return QStringLiteral("interviewer");
}

// One creation's writes inside one transaction. The work records the new
// object (took) and ends with true, or with a failure message (fail). A
// success is logged as ADD_NEW; a failure is shown and logged as
// FAILED_ADD_NEW, and the recordings copied meanwhile are removed again.
// A COMMIT whose answer was lost may have kept everything: the new object is
// looked for by its alias (in `aliasView`), once, before anything is called
// failed or removed.
class Attempt {
public:
    Attempt(AppContext &ctx, QString table, QString aliasView, QString alias)
        : m_ctx(ctx), m_table(std::move(table)), m_aliasView(std::move(aliasView)), m_alias(std::move(alias))
    {
    }

    template <typename Work> std::optional<CreatedHandler> run(Work &&work)
    {
        DbError error;
        if (m_ctx.db().inTransaction(connection(m_ctx), [&] { return work(*this); }, &error))
            return made();
        // Only a COMMIT's answer can be in doubt: the work was whole and took the new object.
        if (error.mayHaveRun && !m_created.objectId.isEmpty()) {
            DbError lookUp;
            const std::optional<bool> there = aliasInUse(m_ctx, m_aliasView, m_alias, &lookUp);
            if (there.value_or(false))
                return made();
            if (!there) {
                // Kept: the greetings of a handler the server may hold name the copies.
                return failed(QStringLiteral("The connection to the database was lost after the new %1 was sent, and "
                                             "whether the server made it could not be read (%2): the %1 may have been "
                                             "created. Look for its alias \"%3\" before creating it again.")
                                  .arg(kindName(m_table), lookUp.description, m_alias));
            }
        }
        for (const QString &file : std::as_const(m_copied))
            QFile::remove(file);
        return failed(m_failure.isEmpty() ? kCreateFailed + error.description : m_failure);
    }

    // The new object's row, with its ObjectID in `idColumn`.
    void took(const Recordset &row, const QString &idColumn)
    {
        m_created = {row.text(idColumn), row.text(QStringLiteral("TextName")), row.text(QStringLiteral("Alias"))};
    }
    const CreatedHandler &created() const { return m_created; }

    bool fail(const QString &message)
    {
        m_failure = message;
        return false;
    }
    bool fail(const DbError &error) { return fail(kCreateFailed + error.description); }

    void copied(const QString &path) { m_copied << path; }
    // A greeting's recording left behind, since no folder could take its copy.
    void notCopied(const QString &greeting, const QString &recording, const QString &why)
    {
        m_notCopied.append({greeting, recording});
        if (!m_whyNotCopied.contains(why))
            m_whyNotCopied << why;
    }

private:
    std::optional<CreatedHandler> made()
    {
        m_ctx.log().LogAction(ADD_NEW, m_table, m_created.alias, {}, {}, {}, m_created.objectId);
        if (!m_notCopied.isEmpty()) {
            // In the order the greeting pages show them.
            static const QStringList order{"Standard", "Off Hours", "Busy", "Alternate", "Internal", "Error"};
            std::stable_sort(m_notCopied.begin(), m_notCopied.end(), [](const auto &a, const auto &b) {
                return order.indexOf(a.first) < order.indexOf(b.first);
            });
            QStringList named;
            for (const auto &[greeting, recording] : std::as_const(m_notCopied))
                named << QStringLiteral("%1 (%2)").arg(greeting, recording);
            show(QStringLiteral("The call handler \"%1\" was created without the recordings of these greetings of "
                                "its template, which could not be copied: %2. The folder of the server's "
                                "recordings is unknown: %3.")
                     .arg(m_created.displayName, named.join(QStringLiteral(", ")),
                          m_whyNotCopied.join(QStringLiteral("; "))));
        }
        return m_created;
    }

    std::optional<CreatedHandler> failed(const QString &message)
    {
        show(message);
        m_ctx.log().LogAction(FAILED_ADD_NEW, m_table, m_alias, {}, {}, {}, message);
        return std::nullopt;
    }

    AppContext &m_ctx;
    QString m_table;
    QString m_aliasView;
    QString m_alias;
    CreatedHandler m_created;
    QString m_failure;
    QStringList m_copied;
    QList<std::pair<QString, QString>> m_notCopied; // greeting, recording
    QStringList m_whyNotCopied;
};

// The arguments of a procedure call, in the order they are added.
class Arguments {
public:
    void add(const QString &name, const QVariant &value, AdoType type = AdoType::VarChar)
    {
        m_args << ProcArg{name, value, type};
    }
    // Left out when the value is Null, so the server's own default applies.
    void addUnlessNull(const QString &name, const QVariant &value, AdoType type = AdoType::VarChar)
    {
        if (!value.isNull())
            add(name, value, type);
    }
    // A flag of the template as the bit 1 or 0; Null counts as 0.
    void addFlag(const QString &name, const QVariant &value) { add(name, value.toBool() ? 1 : 0, AdoType::Integer); }
    const QList<ProcArg> &list() const { return m_args; }

private:
    QList<ProcArg> m_args;
};

QList<ProcArg> callHandlerArguments(AppContext &ctx, const Recordset &t, const QString &alias, const QString &name,
                                    const QString &extension)
{
    const auto f = [&t](const char *column) { return t.field(QString::fromLatin1(column)); };
    Arguments a;
    // Servers before 4.0(2.99) know neither the owner nor the template, name
    // two parameters otherwise and are asked to make the rules.
    const bool current = bIsVersionGreaterThanOrEqualTo(ctx, 4, 0, 2, 99);
    a.add(QStringLiteral("Alias"), alias);
    a.add(current ? QStringLiteral("TextName") : QStringLiteral("DisplayName"), name);
    if (current) {
        a.addUnlessNull(QStringLiteral("AdministratorObjectID"), f("AdministratorObjectID"), AdoType::Guid);
        a.addUnlessNull(QStringLiteral("AdministratorObjectIDType"), f("AdministratorObjectIDType"), AdoType::Integer);
    }
    a.addUnlessNull(QStringLiteral("AfterMessageAction"), f("AfterMessageAction"), AdoType::Integer);
    a.addUnlessNull(QStringLiteral("AfterMessageConversation"), f("AfterMessageConversation"));
    if (!f("EditMsg").isNull())
        a.addFlag(QStringLiteral("EditMsg"), f("EditMsg"));
    a.add(QStringLiteral("IsPrimary"), 0, AdoType::Integer);
    a.addUnlessNull(QStringLiteral("Language"), f("Language"), AdoType::Integer);
    if (!extension.isEmpty())
        a.add(current ? QStringLiteral("DtmfAccessId") : QStringLiteral("DtmfId"), extension);
    a.addUnlessNull(QStringLiteral("MaxMsgLen"), f("MaxMsgLen"), AdoType::Integer);
    a.addUnlessNull(QStringLiteral("OneKeyDelay"), f("OneKeyDelay"), AdoType::Integer);
    a.addUnlessNull(QStringLiteral("ScheduleObjectName"), f("ScheduleObjectName"));
    a.addUnlessNull(QStringLiteral("SendUrgentMsg"), f("SendUrgentMsg"), AdoType::Integer);
    if (current) {
        a.add(QStringLiteral("CallHandlerTemplateObjectID"), f("CallHandlerObjectID"), AdoType::Guid);
    } else {
        a.add(QStringLiteral("CreateContactRules"), 1, AdoType::Integer);
        a.add(QStringLiteral("CreateMenuEntries"), 1, AdoType::Integer);
        a.add(QStringLiteral("CreateMessagingRules"), 1, AdoType::Integer);
    }
    a.add(QStringLiteral("Undeletable"), 0, AdoType::Integer);
    return a.list();
}

// One kind of rule row that a new call handler takes over from its template.
struct RuleCopy {
    const char *table;
    const char *keyColumn;
    int minimum;
    const char *missingForParent;
    const char *missingAlias;
    QList<const char *> columns;
};

const RuleCopy kTransferRules{"ContactRule", "ContactRuleObjectID", 3,
                              "error in cmbCreatCallHandler - target contact rules missing for parent=",
                              "error in cmbCreatCallHandler - target contact rules missing alias=",
                              {"Action", "PlayWhat", "RNAAction", "TimeExpires", "TransferRings", "TransferType",
                               "SwitchID"}};
const RuleCopy kMenuEntries{"MenuEntry", "MenuEntryObjectID", 12,
                            "error in cmbCreatCallHandler - target menu entires missing for parent=",
                            "error in cmbCreatCallHandler - target menu entries missing alias=",
                            {"Action", "ConversationName", "DestinationObjectID", "DestinationObjectIDType", "Locked"}};
const RuleCopy kGreetings{"MessagingRule", "MessagingRuleObjectID", 6,
                          "error in cmbCreatCallHandler - target messaging rules missing for parent=",
                          "error in cmbCreatCallHandler - target messaging rules missing alias=",
                          {"Action", "ConversationName", "DestinationObjectID", "DestinationObjectIDType",
                           "IgnoreDigits", "PlayWhat", "Reprompts", "RepromptDelay", "TimeExpires"}};

// Overwrites the new handler's rows of one kind with the template's, pairing
// them by alias.
bool copyRules(AppContext &ctx, Attempt &attempt, const RuleCopy &kind, const QString &templateId,
               const QString &newId, const QString &newAlias, const QString &extension)
{
    const QString table = QString::fromLatin1(kind.table);
    DbError error;
    Recordset target = ctx.db().openForUpdate(connection(ctx), table, QString::fromLatin1(kind.keyColumn),
                                              QStringLiteral("ParentObjectID = ?"), {newId}, &error);
    if (!target.isOpen())
        return attempt.fail(error);
    if (target.RecordCount() < kind.minimum)
        return attempt.fail(QString::fromLatin1(kind.missingForParent) + newId);
    Recordset source =
        ctx.db().open(connection(ctx), QStringLiteral("SELECT * FROM %1 WHERE ParentObjectID = ?").arg(table),
                      {templateId}, &error);
    if (!source.isOpen())
        return attempt.fail(error);

    for (source.MoveFirst(); !source.isEOF(); source.MoveNext()) {
        const Recordset &from = source;
        const QString alias = from.text(QStringLiteral("Alias"));
        target.MoveFirst();
        if (!target.Find(QStringLiteral("Alias"), alias))
            return attempt.fail(QString::fromLatin1(kind.missingAlias) + alias);
        if (&kind == &kTransferRules) {
            // Only a long (outside) number is worth ringing on the copy's behalf.
            const bool rings = !from.text(QStringLiteral("Extension")).isEmpty()
                               && extension.size() >= kShortestTransferExtension;
            target.setField(QStringLiteral("Extension"), rings ? QVariant(extension) : QVariant());
        }
        for (const char *column : kind.columns)
            target.setField(QString::fromLatin1(column), from.field(QString::fromLatin1(column)));
        if (&kind == &kTransferRules && target.isNull(QStringLiteral("Extension")))
            target.setField(QStringLiteral("Action"), 0);
        if (&kind == &kGreetings && !from.isNull(QStringLiteral("StreamPath"))) {
            const StreamCopy copy = copyGreetingStream(ctx, from.text(QStringLiteral("StreamPath")), alias, newAlias);
            if (!copy.failure.isEmpty())
                return attempt.fail(kCreateFailed + QStringLiteral("the recording %1 of the greeting %2 could not be "
                                                                   "copied: %3")
                                                        .arg(from.text(QStringLiteral("StreamPath")), alias,
                                                             copy.failure));
            if (!copy.folderUnknown.isEmpty())
                attempt.notCopied(alias, from.text(QStringLiteral("StreamPath")), copy.folderUnknown);
            // A template recording that is not there leaves the greeting as the server made it.
            if (!copy.fileName.isEmpty()) {
                attempt.copied(copy.path);
                target.setField(QStringLiteral("StreamPath"), copy.fileName);
            }
        }
        if (!target.Update(&error))
            return attempt.fail(error);
    }
    return true;
}

// The first row of a one-row look-up, or nullopt with the failure shown (and
// logged under `auditTable` with `alias` when the database refused the read).
std::optional<Recordset> readOne(AppContext &ctx, const QString &sql, const QVariant &key, const QString &notFound,
                                 const QString &auditTable, const QString &alias)
{
    DbError error;
    Recordset rs = ctx.db().open(connection(ctx), sql, {key}, &error);
    if (!rs.isOpen()) {
        refusedByDatabase(ctx, auditTable, alias, kCreateFailed + error.description);
        return std::nullopt;
    }
    if (rs.RecordCount() != 1) {
        show(notFound);
        return std::nullopt;
    }
    rs.MoveFirst();
    return rs;
}

} // namespace

QString aliasForName(const QString &name)
{
    return strRemoveSpaces(QString(name).remove(u'\''));
}

int randomSuffix()
{
    return platform::Seams::random().bounded(100000);
}

std::optional<QString> uniqueAlias(AppContext &ctx, const QString &view, const QString &alias, DbError *error)
{
    QString candidate = alias;
    for (;;) {
        const std::optional<bool> taken = aliasInUse(ctx, view, candidate, error);
        if (!taken)
            return std::nullopt;
        if (!*taken)
            return candidate;
        candidate += QString::number(randomSuffix());
    }
}

std::optional<CreatedHandler> createCallHandler(AppContext &ctx, const NewHandlerRequest &request)
{
    if (request.templateObjectId.size() < 2) {
        show(QStringLiteral("No handler selected for template!"));
        return std::nullopt;
    }
    QString name;
    QString alias;
    QString extension;
    if (!checkRequest(ctx, request, QStringLiteral("You must enter a name for the new call handler!"),
                      QStringLiteral("vw_CallHandler"), QStringLiteral("CallHandler"), &name, &alias, &extension))
        return std::nullopt;
    const std::optional<Recordset> t =
        readOne(ctx, QStringLiteral("SELECT * FROM vw_CallHandler WHERE CallHandlerObjectID = ?"),
                request.templateObjectId,
                QStringLiteral("Error in cmdCreateHandler - the user selected CallHandler template could not be found:")
                    + request.templateObjectId,
                QStringLiteral("CallHandler"), alias);
    if (!t)
        return std::nullopt;
    const QString templateId = t->text(QStringLiteral("CallHandlerObjectID"));
    const bool current = bIsVersionGreaterThanOrEqualTo(ctx, 4, 0, 2, 99);

    Attempt attempt(ctx, QStringLiteral("CallHandler"), QStringLiteral("vw_CallHandler"), alias);
    return attempt.run([&](Attempt &a) {
        DbError error;
        if (!ctx.db().callProcedure(connection(ctx),
                                    current ? QStringLiteral("csp_CallHandlerCreate") : QStringLiteral("sp_ImportCallHandler"),
                                    callHandlerArguments(ctx, *t, alias, name, extension), &error))
            return a.fail(error);
        Recordset row = ctx.db().openForUpdate(connection(ctx), QStringLiteral("CallHandler"),
                                               QStringLiteral("CallHandlerObjectID"), QStringLiteral("Alias = ?"), {alias},
                                               &error);
        if (!row.isOpen())
            return a.fail(error);
        if (row.RecordCount() != 1)
            return a.fail(QStringLiteral("Error in cmdCreateHandler - could not find newly created alias=") + alias);
        row.MoveFirst();
        a.took(row, QStringLiteral("CallHandlerObjectID"));
        for (const RuleCopy *kind : {&kTransferRules, &kMenuEntries, &kGreetings}) {
            if (!copyRules(ctx, a, *kind, templateId, a.created().objectId, a.created().alias, extension))
                return false;
        }
        // An empty destination is none; an owner or recipient the template lacks stays unset.
        const QVariant afterMessage = t->field(QStringLiteral("AfterMessageObjectID"));
        row.setField(QStringLiteral("AfterMessageObjectID"),
                     afterMessage.toString().isEmpty() ? QVariant() : afterMessage);
        for (const char *column : {"AfterMessageObjectIDType", "AdministratorObjectID", "AdministratorObjectIDType",
                                   "RecipientObjectID", "RecipientObjectIDType"})
            row.setField(QString::fromLatin1(column), t->field(QString::fromLatin1(column)));
        return row.Update(&error) || a.fail(error);
    });
}

std::optional<CreatedHandler> createDirectoryHandler(AppContext &ctx, const NewHandlerRequest &request)
{
    QString name;
    QString alias;
    QString extension;
    if (!checkRequest(ctx, request, QStringLiteral("You must enter a name for the new directory handler!"),
                      QStringLiteral("vw_NameLookupHandler"), QStringLiteral("DirectoryHandler"), &name, &alias,
                      &extension))
        return std::nullopt;
    // The first name lookup handler the server lists lends every other setting.
    DbError error;
    Recordset t = ctx.db().open(connection(ctx), QStringLiteral("SELECT * FROM vw_NameLookupHandler"), {}, &error);
    if (!t.isOpen()) {
        refusedByDatabase(ctx, QStringLiteral("DirectoryHandler"), alias, kCreateFailed + error.description);
        return std::nullopt;
    }
    if (t.RecordCount() < 1) {
        show(QStringLiteral("No directory handlers defined, system in illegal state!"));
        return std::nullopt;
    }
    t.MoveFirst();
    const auto f = [&t](const char *column) { return t.field(QString::fromLatin1(column)); };

    Arguments args;
    args.add(QStringLiteral("Alias"), alias);
    args.add(QStringLiteral("TextName"), name);
    args.addUnlessNull(QStringLiteral("Language"), f("Language"), AdoType::Integer);
    args.add(QStringLiteral("DtmfAccessId"), extension);
    args.add(QStringLiteral("ApplicationObjectID"), f("ApplicationObjectID"), AdoType::Guid);
    args.addUnlessNull(QStringLiteral("SearchScopeObjectID"), f("SearchScopeObjectID"), AdoType::Guid);
    args.add(QStringLiteral("SearchScope"), f("SearchScope"), AdoType::Integer);
    args.add(QStringLiteral("UID"), alias);
    args.add(QStringLiteral("EndDialDelay"), f("EndDialDelay"), AdoType::Integer);
    args.add(QStringLiteral("MaxMatches"), f("MaxMatches"), AdoType::Integer);
    args.addFlag(QStringLiteral("MenuStyle"), f("MenuStyle"));
    args.addFlag(QStringLiteral("SayExtension"), f("SayExtension"));
    args.addFlag(QStringLiteral("SearchByFirstName"), f("SearchByFirstName"));
    args.add(QStringLiteral("StartDialDelay"), f("StartDialDelay"), AdoType::Integer);
    args.add(QStringLiteral("Tries"), f("Tries"), AdoType::Integer);
    args.addFlag(QStringLiteral("UseStarToExit"), f("UseStarToExit"));
    // Every exit of the new handler leads where the template's Exit leads.
    for (const QString &prefix : {QStringLiteral("NoSelection"), QStringLiteral("NoInput"), QStringLiteral("Zero")}) {
        args.add(prefix + QStringLiteral("Action"), f("ExitAction"), AdoType::Integer);
        args.add(prefix + QStringLiteral("Conversation"), f("ExitConversation"));
        args.add(prefix + QStringLiteral("ObjectIDType"), f("ExitObjectIDType"), AdoType::Integer);
    }
    if (!f("ExitObjectID").isNull()) {
        for (const QString &prefix : {QStringLiteral("Exit"), QStringLiteral("Zero"), QStringLiteral("NoInput"),
                                      QStringLiteral("NoSelection")})
            args.add(prefix + QStringLiteral("ObjectID"), f("ExitObjectID"), AdoType::Guid);
    }
    args.add(QStringLiteral("ExitAction"), f("ExitAction"), AdoType::Integer);
    args.add(QStringLiteral("ExitConversation"), f("ExitConversation"));
    args.add(QStringLiteral("ExitObjectIDType"), f("ExitObjectIDType"), AdoType::Integer);
    args.add(QStringLiteral("LocationObjectID"), f("LocationObjectID"), AdoType::Guid);
    args.add(QStringLiteral("Undeletable"), 0, AdoType::Integer);
    args.add(QStringLiteral("AdministratorObjectID"), f("AdministratorObjectID"), AdoType::Guid);
    args.add(QStringLiteral("AdministratorObjectIDType"), f("AdministratorObjectIDType"), AdoType::Integer);

    Attempt attempt(ctx, QStringLiteral("DirectoryHandler"), QStringLiteral("vw_NameLookupHandler"), alias);
    return attempt.run([&](Attempt &a) {
        DbError e;
        if (!ctx.db().callProcedure(connection(ctx), QStringLiteral("sp_CreateDirectoryHandler"), args.list(), &e))
            return a.fail(e);
        Recordset row = ctx.db().open(connection(ctx), QStringLiteral("SELECT * FROM vw_NameLookupHandler WHERE Alias = ?"),
                                      {alias}, &e);
        if (!row.isOpen())
            return a.fail(e);
        if (row.RecordCount() != 1)
            return a.fail(QStringLiteral("Error in cmdCreateHandler - could not find newly created alias=") + alias);
        row.MoveFirst();
        a.took(row, QStringLiteral("NameLookupHandlerObjectID"));
        return true;
    });
}

std::optional<CreatedHandler> createInterviewHandler(AppContext &ctx, const NewHandlerRequest &request)
{
    QString name;
    QString alias;
    QString extension;
    if (!checkRequest(ctx, request, QStringLiteral("You must enter a name for the new interviewer!"),
                      QStringLiteral("vw_InterviewHandler"), QStringLiteral("InterviewHandler"), &name, &alias,
                      &extension))
        return std::nullopt;
    const std::optional<Recordset> t = readOne(
        ctx, QStringLiteral("SELECT * FROM InterviewHandler WHERE InterviewHandlerObjectID = ?"), request.templateObjectId,
        QStringLiteral("Error in cmdCreateHandler - the selected Interviewer template could not be found:")
            + request.templateObjectId,
        QStringLiteral("InterviewHandler"), alias);
    if (!t)
        return std::nullopt;

    Attempt attempt(ctx, QStringLiteral("InterviewHandler"), QStringLiteral("vw_InterviewHandler"), alias);
    return attempt.run([&](Attempt &a) {
        DbError error;
        // No row is read: the recordset only receives the new one.
        Recordset row = ctx.db().openForUpdate(connection(ctx), QStringLiteral("InterviewHandler"),
                                               QStringLiteral("InterviewHandlerObjectID"), QStringLiteral("1 = 0"), {},
                                               &error);
        if (!row.isOpen())
            return a.fail(error);
        row.AddNew();
        row.setField(QStringLiteral("Alias"), alias);
        row.setField(QStringLiteral("TextName"), name);
        for (const char *column : {"AdministratorObjectID", "AdministratorObjectIDType", "RecipientObjectID",
                                   "RecipientObjectIDType", "AfterMessageAction", "AfterMessageConversation",
                                   "AfterMessageObjectID", "AfterMessageObjectIDType", "LocationObjectID"})
            row.setField(QString::fromLatin1(column), t->field(QString::fromLatin1(column)));
        if (t->text(QStringLiteral("AfterMessageObjectID")).isEmpty())
            row.setField(QStringLiteral("AfterMessageObjectID"), QVariant());
        if (!row.Update(&error))
            return a.fail(error);
        a.took(row, QStringLiteral("InterviewHandlerObjectID"));
        if (a.created().objectId.isEmpty())
            return a.fail(kCreateFailed + QStringLiteral("the new interview handler could not be read back."));
        return extension.isEmpty()
               || ctx.db().execute(connection(ctx),
                                   QStringLiteral("INSERT INTO DTMFAccessID (ParentObjectID, DTMFAccessID, "
                                                  "ParentObjectIDType, DTMFAccessIDType, IsPrimaryID) VALUES (?, ?, 5, 0, 1)"),
                                   {a.created().objectId, extension}, &error)
               || a.fail(error);
    });
}

QString newQuestionStreamName(const QString &alias, int row)
{
    return QStringLiteral("iq_%1_%2_%3.wav").arg(alias).arg(row).arg(randomSuffix());
}

} // namespace quillor
