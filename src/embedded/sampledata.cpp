#include "embedded/sampledata.h"

#include "embedded/sampleids.h"

#include <QDateTime>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <map>
#include <memory>

namespace quillor::embedded {

using namespace SampleIds;

namespace {

const QString Disabled = QStringLiteral("1993-01-02 00:00:00");
const QVariant Null;

using Columns = QList<QPair<QString, QVariant>>;

// Inserts rows, preparing each distinct statement once; the first failure sticks.
class RowWriter {
public:
    explicit RowWriter(QSqlDatabase &db) : m_db(db) {}

    void insert(const QString &table, const Columns &columns)
    {
        if (!m_error.isEmpty())
            return;
        QStringList names;
        for (const auto &c : columns)
            names << c.first;
        const QString key = table + u'|' + names.join(u',');
        auto &query = m_queries[key];
        if (!query) {
            query = std::make_unique<QSqlQuery>(m_db);
            const QString marks = QStringList(qsizetype(names.size()), QStringLiteral("?")).join(u", ");
            if (!query->prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(table, names.join(u", "), marks))) {
                m_error = table + QStringLiteral(": ") + query->lastError().text();
                return;
            }
        }
        for (qsizetype i = 0; i < columns.size(); ++i)
            query->bindValue(int(i), columns.at(i).second);
        if (!query->exec())
            m_error = table + QStringLiteral(": ") + query->lastError().text();
    }

    void extension(const QString &number, const QVariant &owner, int ownerType, bool primary = true)
    {
        insert(QStringLiteral("DTMFAccessID"), {{QStringLiteral("DTMFAccessID"), number},
                                                {QStringLiteral("ParentObjectID"), owner},
                                                {QStringLiteral("ParentObjectIDType"), ownerType},
                                                {QStringLiteral("IsPrimaryID"), primary ? 1 : 0},
                                                {QStringLiteral("DTMFAccessIDType"), 0}});
    }

    const QString &error() const { return m_error; }

private:
    QSqlDatabase &m_db;
    std::map<QString, std::unique_ptr<QSqlQuery>> m_queries;
    QString m_error;
};

// Where an action leads: action code, conversation, destination and its type.
struct Route {
    QVariant action = 0;
    QVariant conversation;
    QVariant destination;
    QVariant destinationType = 0;
};

Route act(int action)
{
    return {action, Null, Null, 0};
}

Route conversation(const char *name)
{
    return {2, QString::fromLatin1(name), Null, 0};
}

Route go(const char *name, const QString &destination, int type)
{
    return {2, QString::fromLatin1(name), destination, type};
}

struct Greeting {
    bool present = true;
    QVariant expires;
    Route route = act(4);
    QVariant playWhat = 0;
    QVariant reprompts = 0;
    QVariant ignoreDigits = 0;
    QVariant streamPath;
};

struct Key {
    bool present = true;
    Route route = act(0);
    int locked = 0;
};

struct ContactRule {
    bool present = true;
    QVariant expires;
    int action = 0;
    int transferType = 0;
    int rings = 4;
    QVariant extension;
    QVariant switchId = 0;
};

const char *const GreetingAliases[6] = {"Standard", "Off Hours", "Busy", "Alternate", "Internal", "Error"};
const char *const ContactAliases[3] = {"Standard", "Off Hours", "Alternate"};
const char *const KeyAliases[12] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "*", "#"};

struct Handler {
    int serial = 0;
    QString alias;
    QString textName;
    QString extension; // "" = none
    int isPrimary = 0;
    QVariant recipient, recipientType, administrator, administratorType;
    QVariant language = 1033;
    QVariant schedule = QStringLiteral("Weekdays");
    int maxMsgLen = 300, editMsg = 1, sendUrgentMsg = 0, oneKeyDelay = 1500, undeletable = 0;
    Route afterMessage = act(1);
    Greeting greetings[6];
    Key keys[12];
    ContactRule contactRules[3];

    QString id() const { return objectId(Kind::CallHandler, serial); }
};

// The rule set every handler starts from; the sample then bends it.
Handler standardHandler(int serial, const char *alias, const char *textName, const QString &extension)
{
    Handler h;
    h.serial = serial;
    h.alias = QString::fromLatin1(alias);
    h.textName = QString::fromLatin1(textName);
    h.extension = extension;
    for (int i : {2, 3, 4})
        h.greetings[i].expires = Disabled;
    // Every handler's error greeting returns callers to the opening greeting.
    h.greetings[5].route = go("PHGreeting", OpeningGreeting, 3);
    h.contactRules[1].expires = Disabled;
    for (ContactRule &rule : h.contactRules)
        rule.extension = extension.isEmpty() ? Null : QVariant(extension);
    return h;
}

void addHandler(RowWriter &w, const Handler &h)
{
    const QString id = h.id();
    w.insert(QStringLiteral("CallHandler"),
             {{QStringLiteral("CallHandlerObjectID"), id},
              {QStringLiteral("Alias"), h.alias},
              {QStringLiteral("TextName"), h.textName},
              {QStringLiteral("IsPrimary"), h.isPrimary},
              {QStringLiteral("RecipientObjectID"), h.recipient},
              {QStringLiteral("RecipientObjectIDType"), h.recipientType},
              {QStringLiteral("AdministratorObjectID"), h.administrator},
              {QStringLiteral("AdministratorObjectIDType"), h.administratorType},
              {QStringLiteral("Language"), h.language},
              {QStringLiteral("ScheduleObjectName"), h.schedule},
              {QStringLiteral("MaxMsgLen"), h.maxMsgLen},
              {QStringLiteral("EditMsg"), h.editMsg},
              {QStringLiteral("SendUrgentMsg"), h.sendUrgentMsg},
              {QStringLiteral("AfterMessageAction"), h.afterMessage.action},
              {QStringLiteral("AfterMessageConversation"), h.afterMessage.conversation},
              {QStringLiteral("AfterMessageObjectID"), h.afterMessage.destination},
              {QStringLiteral("AfterMessageObjectIDType"), h.afterMessage.destinationType},
              {QStringLiteral("OneKeyDelay"), h.oneKeyDelay},
              {QStringLiteral("ContactRuleAlternate"),
               h.contactRules[2].present ? QVariant(contactRuleId(id, 2)) : Null},
              {QStringLiteral("Undeletable"), h.undeletable}});
    if (!h.extension.isEmpty() && !h.isPrimary)
        w.extension(h.extension, id, 3);

    for (int i = 0; i < 3; ++i) {
        const ContactRule &r = h.contactRules[i];
        if (!r.present)
            continue;
        w.insert(QStringLiteral("ContactRule"),
                 {{QStringLiteral("ContactRuleObjectID"), contactRuleId(id, i)},
                  {QStringLiteral("ParentObjectID"), id},
                  {QStringLiteral("Alias"), QString::fromLatin1(ContactAliases[i])},
                  {QStringLiteral("SwitchID"), r.switchId},
                  {QStringLiteral("Extension"), r.extension},
                  {QStringLiteral("TransferRings"), r.rings},
                  {QStringLiteral("TransferType"), r.transferType},
                  {QStringLiteral("TimeExpires"), r.expires},
                  {QStringLiteral("Action"), r.action},
                  {QStringLiteral("PlayWhat"), 0},
                  {QStringLiteral("RNAAction"), 1}});
    }
    for (int i = 0; i < 6; ++i) {
        const Greeting &g = h.greetings[i];
        if (!g.present)
            continue;
        w.insert(QStringLiteral("MessagingRule"),
                 {{QStringLiteral("MessagingRuleObjectID"), greetingId(id, i)},
                  {QStringLiteral("ParentObjectID"), id},
                  {QStringLiteral("Alias"), QString::fromLatin1(GreetingAliases[i])},
                  {QStringLiteral("Action"), g.route.action},
                  {QStringLiteral("ConversationName"), g.route.conversation},
                  {QStringLiteral("DestinationObjectID"), g.route.destination},
                  {QStringLiteral("DestinationObjectIDType"), g.route.destinationType},
                  {QStringLiteral("IgnoreDigits"), g.ignoreDigits},
                  {QStringLiteral("TimeExpires"), g.expires},
                  {QStringLiteral("StreamPath"), g.streamPath},
                  {QStringLiteral("PlayWhat"), g.playWhat},
                  {QStringLiteral("Reprompts"), g.reprompts},
                  {QStringLiteral("RepromptDelay"), 2}});
    }
    for (int i = 0; i < 12; ++i) {
        const Key &k = h.keys[i];
        if (!k.present)
            continue;
        w.insert(QStringLiteral("MenuEntry"),
                 {{QStringLiteral("MenuEntryObjectID"), menuEntryId(id, i)},
                  {QStringLiteral("ParentObjectID"), id},
                  {QStringLiteral("Alias"), QString::fromLatin1(KeyAliases[i])},
                  {QStringLiteral("Action"), k.route.action},
                  {QStringLiteral("ConversationName"), k.route.conversation},
                  {QStringLiteral("DestinationObjectID"), k.route.destination},
                  {QStringLiteral("DestinationObjectIDType"), k.route.destinationType},
                  {QStringLiteral("Locked"), k.locked}});
    }
}

QByteArray mask(std::initializer_list<int> bytes)
{
    QByteArray m;
    for (int b : bytes)
        m.append(char(b));
    return m;
}

void addLookups(RowWriter &w)
{
    const QByteArray none(12, '\0');
    const QByteArray always(12, char(0xFF));
    const QByteArray office = mask({0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xF0, 0, 0, 0}); // 08:00-17:00
    const auto schedule = [&](const char *name, int ignoreHolidays, const QByteArray days[7]) {
        w.insert(QStringLiteral("Schedule"), {{QStringLiteral("DisplayName"), QString::fromLatin1(name)},
                                              {QStringLiteral("IgnoreHolidays"), ignoreHolidays},
                                              {QStringLiteral("Monday"), days[0]},
                                              {QStringLiteral("Tuesday"), days[1]},
                                              {QStringLiteral("Wednesday"), days[2]},
                                              {QStringLiteral("Thursday"), days[3]},
                                              {QStringLiteral("Friday"), days[4]},
                                              {QStringLiteral("Saturday"), days[5]},
                                              {QStringLiteral("Sunday"), days[6]}});
    };
    const QByteArray weekdays[7] = {office, office, office, office, office, none, none};
    const QByteArray allHours[7] = {always, always, always, always, always, always, always};
    // Only the very first and the very last quarter hour of the week.
    const QByteArray edges[7] = {mask({0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), none, none, none, none, none,
                                 mask({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01})};
    schedule("Weekdays", 0, weekdays);
    schedule("All Hours", 1, allHours);
    schedule("Edge Bits", 0, edges);

    const auto cos = [&](const QString &id, const char *alias, const char *name) {
        w.insert(QStringLiteral("COS"), {{QStringLiteral("COSObjectID"), id},
                                         {QStringLiteral("Alias"), QString::fromLatin1(alias)},
                                         {QStringLiteral("TextName"), QString::fromLatin1(name)}});
    };
    cos(DefaultCos, "defaultcos", "Default COS");
    cos(AdministratorsCos, "administratorscos", "Administrators");
    cos(RestrictedCos, "restrictedcos", "Restricted");

    w.insert(QStringLiteral("Location"), {{QStringLiteral("LocationObjectID"), Headquarters},
                                          {QStringLiteral("Alias"), QStringLiteral("default")},
                                          {QStringLiteral("TextName"), QStringLiteral("Headquarters")}});
    w.insert(QStringLiteral("Location"), {{QStringLiteral("LocationObjectID"), BranchOffice},
                                          {QStringLiteral("Alias"), QStringLiteral("branch")},
                                          {QStringLiteral("TextName"), QStringLiteral("Branch Office")}});
    w.extension(QStringLiteral("399"), Headquarters, 9);

    const auto list = [&](const QString &id, const QString &dir, const char *alias, const char *name, const char *smtp) {
        w.insert(QStringLiteral("DistributionList"), {{QStringLiteral("SystemDListObjectID"), id},
                                                      {QStringLiteral("DirectoryID"), dir},
                                                      {QStringLiteral("Alias"), QString::fromLatin1(alias)},
                                                      {QStringLiteral("DisplayName"), QString::fromLatin1(name)},
                                                      {QStringLiteral("SMTPAddress"), QString::fromLatin1(smtp)}});
    };
    list(AllSubscribers, AllSubscribersDirectoryId, "allsubscribers", "All Subscribers",
         "allsubscribers@tolva.example.com");
    list(Operators, OperatorsDirectoryId, "operators", "Operators", "operators@tolva.example.com");
    list(NoMailList, NoMailListDirectoryId, "nomail", "No Mail List", "nomail");
    list(AtSignFirst, AtSignFirstDirectoryId, "atfirst", "At Sign First", "@example.com");
    w.extension(QStringLiteral("4000"), AllSubscribers, 2);

    w.insert(QStringLiteral("ScopeDList"), {{QStringLiteral("ScopeDListObjectID"), AllSubscribersScope},
                                            {QStringLiteral("DirectoryID"), AllSubscribersDirectoryId},
                                            {QStringLiteral("DisplayName"), QStringLiteral("All Subscribers")}});

    // Routing rules name their target without braces.
    QString target = Operator;
    target.remove(u'{').remove(u'}');
    w.insert(QStringLiteral("[Rule]"), {{QStringLiteral("RuleObjectID"), QStringLiteral("{000000B1-0000-4000-8000-000000000001}")},
                                        {QStringLiteral("DisplayName"), QStringLiteral("Route to operator")},
                                        {QStringLiteral("ActionObjectID"), target}});

    // An extension whose owner is of no known kind.
    w.extension(QStringLiteral("8888"), Null, 4);
}

struct Subscriber {
    int serial;
    const char *alias, *displayName, *firstName, *lastName;
    int type;
    QString extension;
    QVariant cos, switchId;
    Route exit;
};

void addSubscribers(RowWriter &w)
{
    const Route nullExit{Null, Null, Null, Null};
    const Subscriber subscribers[] = {
        {1, "aadmin", "Alice Admin", "Alice", "Admin", 1, QStringLiteral("5001"), AdministratorsCos, 0,
         go("PHGreeting", OpeningGreeting, 3)},
        {2, "bsales", "Bob Sales", "Bob", "Sales", 1, QStringLiteral("5002"), DefaultCos, 1, nullExit},
        {3, "csupport", "Carol Support", "Carol", "Support", 3, QStringLiteral("5003"), MissingCos, Null, act(1)},
        {4, "installer", "Installer", "Installer", "Account", 6, QStringLiteral("5004"), DefaultCos, 0, act(1)},
        {5, "dremote", "Dan Remote", "Dan", "Remote", 2, QStringLiteral("5005"), DefaultCos, 0, act(1)},
    };
    for (const Subscriber &s : subscribers) {
        const QString id = objectId(Kind::Subscriber, s.serial);
        const int handlerSerial = 0x10 + s.serial;
        w.insert(QStringLiteral("Subscriber"),
                 {{QStringLiteral("SubscriberObjectID"), id},
                  {QStringLiteral("Alias"), QString::fromLatin1(s.alias)},
                  {QStringLiteral("DisplayName"), QString::fromLatin1(s.displayName)},
                  {QStringLiteral("FirstName"), QString::fromLatin1(s.firstName)},
                  {QStringLiteral("LastName"), QString::fromLatin1(s.lastName)},
                  {QStringLiteral("CallHandlerObjectID"), objectId(Kind::CallHandler, handlerSerial)},
                  {QStringLiteral("SubscriberType"), s.type},
                  {QStringLiteral("HomeServer"), QStringLiteral("MAIL01")},
                  {QStringLiteral("DirectoryID"), objectId(Kind::DirectoryId, handlerSerial)},
                  {QStringLiteral("COSObjectID"), s.cos},
                  {QStringLiteral("SwitchID"), s.switchId},
                  {QStringLiteral("ExitAction"), s.exit.action},
                  {QStringLiteral("ExitConversation"), s.exit.conversation},
                  {QStringLiteral("ExitObjectID"), s.exit.destination},
                  {QStringLiteral("ExitObjectIDType"), s.exit.destinationType}});
        w.extension(s.extension, id, 1);

        Handler h = standardHandler(handlerSerial, "", s.displayName, s.extension);
        h.alias = QStringLiteral("ch_") + QString::fromLatin1(s.alias);
        h.isPrimary = 1;
        h.recipient = id;
        h.recipientType = 1;
        h.administrator = id;
        h.administratorType = 1;
        switch (s.serial) {
        case 1:
            // Every state a greeting can be in.
            h.sendUrgentMsg = 1;
            h.greetings[0].playWhat = 1;
            h.greetings[0].streamPath = QStringLiteral("ch_aadmin_Standard.wav");
            h.greetings[0].reprompts = 2;
            h.greetings[1].ignoreDigits = 1;
            h.greetings[3].expires = QDateTime::currentDateTimeUtc().addDays(30).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            h.greetings[3].playWhat = 2;
            h.greetings[4].expires = QStringLiteral("2020-01-01 00:00:00");
            h.keys[10].locked = 1;
            break;
        case 2:
            h.language = Null;
            h.schedule = QStringLiteral("All Hours");
            h.keys[0].route = go("PHTransfer", Operator, 3);
            h.contactRules[2].action = 1;
            h.contactRules[2].extension = QStringLiteral("5002");
            h.contactRules[2].transferType = 1;
            break;
        case 3:
            h.greetings[2].present = false; // no Busy greeting
            h.keys[11].present = false;     // no "#" key
            h.contactRules[2].extension = QStringLiteral("9,5551234");
            h.contactRules[2].action = 1;
            break;
        default:
            break;
        }
        addHandler(w, h);
    }

    // A primary handler left behind by a deleted subscriber.
    Handler ghost = standardHandler(0x16, "ch_ghost", "Ghost Subscriber", QString());
    ghost.isPrimary = 1;
    ghost.recipient = MissingSubscriber;
    ghost.recipientType = 1;
    ghost.administrator = MissingSubscriber;
    ghost.administratorType = 1;
    addHandler(w, ghost);
}

void addCallHandlers(RowWriter &w, const SampleOptions &options)
{
    const QString inThirtyDays = QDateTime::currentDateTimeUtc().addDays(30).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));

    Handler h1 = standardHandler(1, "openinggreetingch", "Opening Greeting", QStringLiteral("1000"));
    if (options.root == SampleOptions::Root::Missing)
        h1.alias = QStringLiteral("openinggreetingch_old");
    h1.administrator = AliceAdmin;
    h1.administratorType = 1;
    h1.recipient = Operators;
    h1.recipientType = 2;
    h1.undeletable = 1;
    h1.language = Null;
    h1.sendUrgentMsg = 2;
    h1.afterMessage = go("PHGreeting", Goodbye, 3);
    h1.keys[0].route = go("PHTransfer", Operator, 3);
    h1.keys[1].route = go("PHGreeting", Sales, 3);
    h1.keys[2].route = go("PHGreeting", Support, 3);
    h1.keys[3].route = go("PHGreeting", BobSalesHandler, 3);
    h1.keys[4].route = go("AD", CompanyDirectory, 6);
    h1.keys[5].route = go("CHInterview", FeedbackInterview, 5);
    h1.keys[6].route = go("PHGreeting", MissingHandler, 3);
    h1.keys[7].route = go("AD", MissingDirectoryHandler, 6);
    h1.keys[8].route = conversation("GreetingsAdministrator");
    h1.keys[10] = {true, conversation("SubSignIn"), 1};
    h1.keys[11] = {true, act(1), 1};
    h1.greetings[0].playWhat = 1;
    h1.greetings[0].streamPath = QStringLiteral("openinggreetingch_Standard.wav");
    h1.greetings[0].reprompts = 1;
    h1.greetings[0].route = go("PHTransfer", Operator, 3);
    h1.greetings[1].route = go("PHGreeting", AfterHours, 3);
    h1.greetings[3].expires = inThirtyDays;
    h1.greetings[3].playWhat = 2;
    h1.greetings[3].route = act(1);
    h1.greetings[4].expires = QStringLiteral("2020-01-01 00:00:00");
    h1.greetings[4].route = conversation("SubSignIn");
    h1.contactRules[2] = {true, Null, 1, 1, 6, QStringLiteral("4321"), 0};
    addHandler(w, h1);

    Handler h2 = standardHandler(2, "operatorch", "Operator", QStringLiteral("1001"));
    h2.administrator = h2.recipient = Operators;
    h2.administratorType = h2.recipientType = 2;
    h2.schedule = QStringLiteral("All Hours");
    h2.afterMessage = go("PHGreeting", Goodbye, 3);
    h2.keys[11].route = act(1);
    h2.contactRules[0].action = 1;
    h2.contactRules[0].transferType = 1;
    h2.contactRules[0].rings = 6;
    addHandler(w, h2);

    Handler h3 = standardHandler(3, "goodbyech", "Goodbye", QString());
    h3.administrator = h3.recipient = AliceAdmin;
    h3.administratorType = h3.recipientType = 1;
    h3.greetings[0].route = act(1);
    addHandler(w, h3);

    Handler h4 = standardHandler(4, "salesch", "Sales", QStringLiteral("1100"));
    h4.administrator = h4.recipient = AllSubscribers;
    h4.administratorType = h4.recipientType = 2;
    h4.language = 1031;
    h4.keys[0].route = go("PHTransfer", Operator, 3);
    h4.keys[1].route = go("PHGreeting", OpeningGreeting, 3);
    h4.keys[2].route = go("PHGreeting", BobSalesHandler, 3);
    h4.keys[3].route = go("PHGreeting", Sales, 3);
    h4.contactRules[0].extension = QStringLiteral("9123");
    h4.contactRules[0].action = 1;
    h4.contactRules[1] = {true, Null, 1, 0, 4, QStringLiteral("1234"), 0};
    h4.contactRules[2].extension = QStringLiteral("123");
    h4.contactRules[2].action = 0;
    addHandler(w, h4);

    // Shares its extension with Alice Admin.
    Handler h5 = standardHandler(5, "afterhoursch", "After Hours", QStringLiteral("5001"));
    h5.administrator = h5.recipient = BobSales;
    h5.administratorType = h5.recipientType = 1;
    h5.schedule = QStringLiteral("All Hours");
    h5.keys[0].route = go("PHTransfer", Operator, 3);
    addHandler(w, h5);

    Handler h6 = standardHandler(6, "supportch", "Support", QStringLiteral("1200"));
    h6.administrator = h6.recipient = BobSales;
    h6.administratorType = h6.recipientType = 1;
    h6.keys[0].route = go("PHTransfer", Operator, 3);
    h6.keys[1].route = go("PHGreeting", Sales.toLower(), 3);
    h6.keys[2].route = go("PHGreeting", CarolSupportHandler, 3);
    h6.keys[9].route = go("PHGreeting", EdgeCases, 3);
    addHandler(w, h6);

    Handler h7 = standardHandler(7, "callhandlertemplate", "Call Handler Template", QString());
    h7.administrator = AliceAdmin;
    h7.administratorType = 1;
    h7.recipient = Operators;
    h7.recipientType = 2;
    h7.language = 1031;
    h7.afterMessage = go("PHGreeting", Goodbye, 3);
    h7.keys[0] = {true, go("PHTransfer", Operator, 3), 1};
    h7.contactRules[0].extension = QStringLiteral("1000");
    h7.greetings[0].streamPath = QStringLiteral("callhandlertemplate_Standard.wav");
    h7.greetings[1].streamPath = QStringLiteral("missing_file.wav");
    addHandler(w, h7);

    Handler h8 = standardHandler(8, "orphanch", "Orphan", QStringLiteral("1300"));
    h8.recipient = MissingSubscriber;
    h8.recipientType = 1;
    h8.keys[11].present = false;
    h8.contactRules[1].present = false;
    h8.greetings[4].present = false;
    addHandler(w, h8);

    Handler h9 = standardHandler(9, "edgecasesch", "Edge Cases", QStringLiteral("1400"));
    h9.administrator = AllSubscribersScope;
    h9.administratorType = 2;
    h9.recipient = AllSubscribers;
    h9.recipientType = 2;
    h9.language = 1025;
    h9.keys[0].route = conversation("ConvHotelCheckedOut");
    h9.keys[1].route = go("phgreeting", OpeningGreeting, 3);
    h9.keys[2].route = act(3);
    h9.keys[3].route = conversation("UnknownConversation");
    h9.keys[4].route = conversation("BroadcastMessageAdministrator");
    h9.keys[5].route = go("PHGreeting", GhostHandler, 3);
    h9.keys[6].route = conversation("TransferAltContactNumber");
    h9.keys[7].route = go("PHGreeting", Orphan, 3);
    h9.keys[8].route = conversation("CxConvEasySignIn");
    h9.keys[9].route = conversation("ConvCVMMBoxReset");
    h9.keys[10].route = conversation("CxConvSystemTransfer");
    h9.keys[11].route = conversation("CxConvSubSystemTransfer");
    h9.greetings[0].route.action = Null;
    h9.greetings[1].playWhat = Null;
    h9.greetings[2].reprompts = 9;
    h9.greetings[3].ignoreDigits = 1;
    h9.contactRules[2].extension = QStringLiteral("*8#");
    addHandler(w, h9);

    if (options.root == SampleOptions::Root::Duplicate) {
        Handler second = standardHandler(0xF0, "openinggreetingch", "Opening Greeting (second)", QString());
        second.administrator = AliceAdmin;
        second.administratorType = 1;
        second.recipient = Operators;
        second.recipientType = 2;
        addHandler(w, second);
    }
}

void addInterviewHandlers(RowWriter &w)
{
    const auto handler = [&](const QString &id, const char *alias, const char *name, int undeletable,
                             const QVariant &admin, const QVariant &adminType, const QVariant &recipient,
                             const QVariant &recipientType, const QVariant &language, const Route &after) {
        w.insert(QStringLiteral("InterviewHandler"),
                 {{QStringLiteral("InterviewHandlerObjectID"), id},
                  {QStringLiteral("Alias"), QString::fromLatin1(alias)},
                  {QStringLiteral("TextName"), QString::fromLatin1(name)},
                  {QStringLiteral("Undeletable"), undeletable},
                  {QStringLiteral("Language"), language},
                  {QStringLiteral("AdministratorObjectID"), admin},
                  {QStringLiteral("AdministratorObjectIDType"), adminType},
                  {QStringLiteral("RecipientObjectID"), recipient},
                  {QStringLiteral("RecipientObjectIDType"), recipientType},
                  {QStringLiteral("AfterMessageAction"), after.action},
                  {QStringLiteral("AfterMessageConversation"), after.conversation},
                  {QStringLiteral("AfterMessageObjectID"), after.destination},
                  {QStringLiteral("AfterMessageObjectIDType"), after.destinationType},
                  {QStringLiteral("LocationObjectID"), Headquarters}});
    };
    const auto question = [&](const QString &parent, int number, const char *text, const QVariant &maxLength,
                              const QVariant &streamPath) {
        w.insert(QStringLiteral("InterviewQuestion"),
                 {{QStringLiteral("InterviewQuestionObjectID"), questionId(parent, number - 1)},
                  {QStringLiteral("ParentObjectID"), parent},
                  {QStringLiteral("Alias"), QString::number(number)},
                  {QStringLiteral("StreamText"), QString::fromLatin1(text)},
                  {QStringLiteral("MaxMsgLength"), maxLength},
                  {QStringLiteral("StreamPath"), streamPath}});
    };

    handler(InterviewTemplate, "interviewtemplate", "Interview Template", 1, AliceAdmin, 1, Operators, 2, Null,
            go("PHGreeting", Goodbye, 3));
    question(InterviewTemplate, 1, "Please leave your message after the tone.", 30, Null);

    handler(FeedbackInterview, "feedbackih", "Feedback Interview", 0, AllSubscribers, 2, BobSales, 1, 1033, act(1));
    w.extension(QStringLiteral("2000"), FeedbackInterview, 5);
    // Stored out of order: readers sort the questions themselves.
    question(FeedbackInterview, 2, "Describe the problem.", Null, Null);
    question(FeedbackInterview, 1, "Please say your name.", 10, QStringLiteral("iq_feedbackih_1.wav"));
    question(FeedbackInterview, 3, "Anything else?", 0, Null);

    handler(Survey, "surveyih", "Survey", 1, Null, Null, Null, Null, 1033, act(1));
    w.extension(QStringLiteral("2100"), Survey, 5);
    w.extension(QStringLiteral("2101"), Survey, 5, false);
}

struct Directory {
    QString id;
    const char *alias, *name;
    QString extension;
    QVariant admin, adminType, language;
    QVariant searchScope, searchScopeObject, searchByFirstName;
    Route exit, zero, noInput, noSelection;
    int autoRoute, menuStyle, sayExtension, maxMatches;
    QVariant playAllNames;
    int undeletable;
};

void addNameLookupHandlers(RowWriter &w)
{
    const Route toRoot = go("PHGreeting", OpeningGreeting, 3);
    const Route toOperator = go("PHTransfer", Operator, 3);
    const Route toGoodbye = go("PHGreeting", Goodbye, 3);
    const Route hangUp = act(1);
    // The first row is the creation template: every column it lends is filled.
    const Directory directories[] = {
        {CompanyDirectory, "companydirectory", "Company Directory", QStringLiteral("3000"), AliceAdmin, 1, Null, 1,
         Null, 0, toRoot, toOperator, hangUp, toGoodbye, 1, 1, 1, 8, 0, 1},
        {SalesDirectory, "salesdirectory", "Sales Directory", QStringLiteral("3001"), AllSubscribers, 2, 1033, 4,
         AllSubscribersScope, 1, toRoot, toOperator, hangUp, toGoodbye, 0, 0, 1, 5, 1, 0},
        {RestrictedDirectory, "cosdirectory", "Restricted Directory", QStringLiteral("3002"), AliceAdmin, 1, 1033, 5,
         RestrictedCos, 0, toRoot, toOperator, hangUp, toGoodbye, 1, 1, 1, 8, 0, 0},
        {HqDirectory, "hqdirectory", "HQ Directory", QStringLiteral("3003"), AliceAdmin, 1, 1031, 3, Headquarters, 0,
         toRoot, toOperator, hangUp, toGoodbye, 1, 1, 1, 8, 0, 0},
        {BrokenDirectory, "brokendirectory", "Broken Directory", QString(), Null, Null, 1033, 2, Null, 0, hangUp,
         toOperator, hangUp, toGoodbye, 1, 1, 1, 8, Null, 0},
        {LocalDirectory, "localdirectory", "Local Directory", QStringLiteral("3004"), Operators, 2, 0, 0, Null, Null,
         toGoodbye, hangUp, toRoot, toOperator, 0, 1, 0, 12, 1, 0},
    };
    for (const Directory &d : directories) {
        w.insert(QStringLiteral("NameLookupHandler"),
                 {{QStringLiteral("NameLookupHandlerObjectID"), d.id},
                  {QStringLiteral("Alias"), QString::fromLatin1(d.alias)},
                  {QStringLiteral("TextName"), QString::fromLatin1(d.name)},
                  {QStringLiteral("UID"), QString::fromLatin1(d.alias)},
                  {QStringLiteral("Language"), d.language},
                  {QStringLiteral("AdministratorObjectID"), d.admin},
                  {QStringLiteral("AdministratorObjectIDType"), d.adminType},
                  {QStringLiteral("PlayAllNames"), d.playAllNames},
                  {QStringLiteral("SearchScope"), d.searchScope},
                  {QStringLiteral("SearchScopeObjectID"), d.searchScopeObject},
                  {QStringLiteral("SearchByFirstName"), d.searchByFirstName},
                  {QStringLiteral("ExitAction"), d.exit.action},
                  {QStringLiteral("ExitConversation"), d.exit.conversation},
                  {QStringLiteral("ExitObjectID"), d.exit.destination},
                  {QStringLiteral("ExitObjectIDType"), d.exit.destinationType},
                  {QStringLiteral("ZeroAction"), d.zero.action},
                  {QStringLiteral("ZeroConversation"), d.zero.conversation},
                  {QStringLiteral("ZeroObjectID"), d.zero.destination},
                  {QStringLiteral("ZeroObjectIDType"), d.zero.destinationType},
                  {QStringLiteral("NoInputAction"), d.noInput.action},
                  {QStringLiteral("NoInputConversation"), d.noInput.conversation},
                  {QStringLiteral("NoInputObjectID"), d.noInput.destination},
                  {QStringLiteral("NoInputObjectIDType"), d.noInput.destinationType},
                  {QStringLiteral("NoSelectionAction"), d.noSelection.action},
                  {QStringLiteral("NoSelectionConversation"), d.noSelection.conversation},
                  {QStringLiteral("NoSelectionObjectID"), d.noSelection.destination},
                  {QStringLiteral("NoSelectionObjectIDType"), d.noSelection.destinationType},
                  {QStringLiteral("AutoRoute"), d.autoRoute},
                  {QStringLiteral("MenuStyle"), d.menuStyle},
                  {QStringLiteral("SayExtension"), d.sayExtension},
                  {QStringLiteral("MaxMatches"), d.maxMatches},
                  {QStringLiteral("ApplicationObjectID"), DirectoryApplication},
                  {QStringLiteral("EndDialDelay"), 2000},
                  {QStringLiteral("StartDialDelay"), 1500},
                  {QStringLiteral("Tries"), 3},
                  {QStringLiteral("UseStarToExit"), 1},
                  {QStringLiteral("LocationObjectID"), Headquarters},
                  {QStringLiteral("Undeletable"), d.undeletable}});
        if (!d.extension.isEmpty())
            w.extension(d.extension, d.id, 6);
    }
}

} // namespace

namespace detail {

bool insertSampleRows(QSqlDatabase &db, const SampleOptions &options, QString *error)
{
    RowWriter w(db);
    // The template directory handler must be the first row of its table.
    addNameLookupHandlers(w);
    addLookups(w);
    addCallHandlers(w, options);
    addSubscribers(w);
    addInterviewHandlers(w);
    if (!w.error().isEmpty()) {
        if (error)
            *error = w.error();
        return false;
    }
    return true;
}

bool insertDirectoryRows(QSqlDatabase &db, const SampleOptions &options, const QString &streamFolder, QString *error)
{
    RowWriter w(db);
    const auto setting = [&](const QString &name, const QString &value) {
        w.insert(QStringLiteral("Configuration"), {{QStringLiteral("FullName"), name}, {QStringLiteral("ValueString"), value}});
    };
    setting(QStringLiteral("System.SystemSetup.DirectoryDatabase.Name"), QStringLiteral("TolvaDirDB"));
    if (!options.missingStreamFolderRow) {
        const QString name = QStringLiteral("System.SystemSetup.DirectoryDatabase.StreamFileLocation");
        setting(name, streamFolder);
        if (options.duplicateStreamFolderRow)
            setting(name, streamFolder);
    }
    if (!w.error().isEmpty()) {
        if (error)
            *error = w.error();
        return false;
    }
    return true;
}

} // namespace detail

QString sampleObjectId(const QString &alias)
{
    static const QHash<QString, QString> byAlias = {
        {QStringLiteral("aadmin"), AliceAdmin},
        {QStringLiteral("bsales"), BobSales},
        {QStringLiteral("csupport"), CarolSupport},
        {QStringLiteral("installer"), Installer},
        {QStringLiteral("dremote"), DanRemote},
        {QStringLiteral("ch_aadmin"), AliceAdminHandler},
        {QStringLiteral("ch_bsales"), BobSalesHandler},
        {QStringLiteral("ch_csupport"), CarolSupportHandler},
        {QStringLiteral("ch_installer"), InstallerHandler},
        {QStringLiteral("ch_dremote"), DanRemoteHandler},
        {QStringLiteral("ch_ghost"), GhostHandler},
        {QStringLiteral("openinggreetingch"), OpeningGreeting},
        {QStringLiteral("operatorch"), Operator},
        {QStringLiteral("goodbyech"), Goodbye},
        {QStringLiteral("salesch"), Sales},
        {QStringLiteral("afterhoursch"), AfterHours},
        {QStringLiteral("supportch"), Support},
        {QStringLiteral("callhandlertemplate"), CallHandlerTemplate},
        {QStringLiteral("orphanch"), Orphan},
        {QStringLiteral("edgecasesch"), EdgeCases},
        {QStringLiteral("interviewtemplate"), InterviewTemplate},
        {QStringLiteral("feedbackih"), FeedbackInterview},
        {QStringLiteral("surveyih"), Survey},
        {QStringLiteral("companydirectory"), CompanyDirectory},
        {QStringLiteral("salesdirectory"), SalesDirectory},
        {QStringLiteral("cosdirectory"), RestrictedDirectory},
        {QStringLiteral("hqdirectory"), HqDirectory},
        {QStringLiteral("brokendirectory"), BrokenDirectory},
        {QStringLiteral("allsubscribers"), AllSubscribers},
        {QStringLiteral("operators"), Operators},
        {QStringLiteral("nomail"), NoMailList},
        {QStringLiteral("atfirst"), AtSignFirst},
        {QStringLiteral("defaultcos"), DefaultCos},
        {QStringLiteral("administratorscos"), AdministratorsCos},
        {QStringLiteral("restrictedcos"), RestrictedCos},
        {QStringLiteral("default"), Headquarters},
        {QStringLiteral("branch"), BranchOffice},
    };
    return byAlias.value(alias.trimmed().toLower());
}

} // namespace quillor::embedded
