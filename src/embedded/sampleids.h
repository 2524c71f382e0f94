#pragma once
// ObjectIDs of the sample server's objects, readable on sight:
// {000000KK-0000-4000-8000-0000000000NN} with KK the kind of object and NN its
// serial; rules hang below their handler as {000000KK-00PP-4000-8000-0000000000RR}
// with PP the handler's serial and RR the rule's index. Tests refer to sample
// objects through these names instead of repeating the numbers.

#include <QString>

namespace quillor::embedded::SampleIds {

// Kinds of object, the KK part.
enum class Kind : int {
    Subscriber = 0x01, DistributionList = 0x02, CallHandler = 0x03, InterviewHandler = 0x05,
    NameLookupHandler = 0x06, Location = 0x09, Application = 0x0A, Cos = 0x0C, DirectoryId = 0x0D,
    ScopeList = 0x0F,
    ContactRule = 0xA1, Greeting = 0xA2, MenuEntry = 0xA3, Question = 0xA4
};

QString objectId(Kind kind, int serial);
QString ruleId(Kind kind, int parentSerial, int index);

// Rules of a sample call handler (or a subscriber's primary handler) by index:
// contact rules 0 Standard, 1 Off Hours, 2 Alternate; greetings 0 Standard,
// 1 Off Hours, 2 Busy, 3 Alternate, 4 Internal, 5 Error; menu entries 0-9 for
// the keys "0"-"9", 10 for "*", 11 for "#". "" for an ID outside the scheme.
QString contactRuleId(const QString &handlerId, int index);
QString greetingId(const QString &handlerId, int index);
QString menuEntryId(const QString &handlerId, int index);
QString questionId(const QString &interviewHandlerId, int index);

// Subscribers and their primary call handlers.
inline const QString AliceAdmin = QStringLiteral("{00000001-0000-4000-8000-000000000001}");
inline const QString BobSales = QStringLiteral("{00000001-0000-4000-8000-000000000002}");
inline const QString CarolSupport = QStringLiteral("{00000001-0000-4000-8000-000000000003}");
inline const QString Installer = QStringLiteral("{00000001-0000-4000-8000-000000000004}");
inline const QString DanRemote = QStringLiteral("{00000001-0000-4000-8000-000000000005}");
// A subscriber that was deleted: the ghost handler and the orphan still point at it.
inline const QString MissingSubscriber = QStringLiteral("{00000001-0000-4000-8000-0000000000FF}");

inline const QString AliceAdminHandler = QStringLiteral("{00000003-0000-4000-8000-000000000011}");
inline const QString BobSalesHandler = QStringLiteral("{00000003-0000-4000-8000-000000000012}");
inline const QString CarolSupportHandler = QStringLiteral("{00000003-0000-4000-8000-000000000013}");
inline const QString InstallerHandler = QStringLiteral("{00000003-0000-4000-8000-000000000014}");
inline const QString DanRemoteHandler = QStringLiteral("{00000003-0000-4000-8000-000000000015}");
// Primary handler whose subscriber no longer exists.
inline const QString GhostHandler = QStringLiteral("{00000003-0000-4000-8000-000000000016}");

// Call handlers.
inline const QString OpeningGreeting = QStringLiteral("{00000003-0000-4000-8000-000000000001}");
inline const QString Operator = QStringLiteral("{00000003-0000-4000-8000-000000000002}");
inline const QString Goodbye = QStringLiteral("{00000003-0000-4000-8000-000000000003}");
inline const QString Sales = QStringLiteral("{00000003-0000-4000-8000-000000000004}");
inline const QString AfterHours = QStringLiteral("{00000003-0000-4000-8000-000000000005}");
inline const QString Support = QStringLiteral("{00000003-0000-4000-8000-000000000006}");
inline const QString CallHandlerTemplate = QStringLiteral("{00000003-0000-4000-8000-000000000007}");
inline const QString Orphan = QStringLiteral("{00000003-0000-4000-8000-000000000008}");
inline const QString EdgeCases = QStringLiteral("{00000003-0000-4000-8000-000000000009}");
// The second "openinggreetingch" of a server built with Root::Duplicate.
inline const QString SecondRoot = QStringLiteral("{00000003-0000-4000-8000-0000000000F0}");
// A deleted call handler that the opening greeting's key 6 still routes to.
inline const QString MissingHandler = QStringLiteral("{00000003-0000-4000-8000-0000000000FF}");

// Interview handlers.
inline const QString InterviewTemplate = QStringLiteral("{00000005-0000-4000-8000-000000000001}");
inline const QString FeedbackInterview = QStringLiteral("{00000005-0000-4000-8000-000000000002}");
inline const QString Survey = QStringLiteral("{00000005-0000-4000-8000-000000000003}");

// Name lookup handlers.
inline const QString CompanyDirectory = QStringLiteral("{00000006-0000-4000-8000-000000000001}");
inline const QString SalesDirectory = QStringLiteral("{00000006-0000-4000-8000-000000000002}");
inline const QString RestrictedDirectory = QStringLiteral("{00000006-0000-4000-8000-000000000003}");
inline const QString HqDirectory = QStringLiteral("{00000006-0000-4000-8000-000000000004}");
inline const QString BrokenDirectory = QStringLiteral("{00000006-0000-4000-8000-000000000005}");
// Searches the local servers only; its language is stored as 0.
inline const QString LocalDirectory = QStringLiteral("{00000006-0000-4000-8000-000000000006}");
// A deleted name lookup handler that the opening greeting's key 7 still routes to.
inline const QString MissingDirectoryHandler = QStringLiteral("{00000006-0000-4000-8000-0000000000FF}");

// Distribution lists, their directory ids and the scope list.
inline const QString AllSubscribers = QStringLiteral("{00000002-0000-4000-8000-000000000001}");
inline const QString Operators = QStringLiteral("{00000002-0000-4000-8000-000000000002}");
inline const QString NoMailList = QStringLiteral("{00000002-0000-4000-8000-000000000003}");
inline const QString AtSignFirst = QStringLiteral("{00000002-0000-4000-8000-000000000004}");
inline const QString AllSubscribersDirectoryId = QStringLiteral("{0000000D-0000-4000-8000-000000000001}");
inline const QString OperatorsDirectoryId = QStringLiteral("{0000000D-0000-4000-8000-000000000002}");
inline const QString NoMailListDirectoryId = QStringLiteral("{0000000D-0000-4000-8000-000000000003}");
inline const QString AtSignFirstDirectoryId = QStringLiteral("{0000000D-0000-4000-8000-000000000004}");
inline const QString AllSubscribersScope = QStringLiteral("{0000000F-0000-4000-8000-000000000001}");
// Subscribers' directory ids: serial 0x11 + the subscriber's serial - 1.
inline const QString AliceAdminDirectoryId = QStringLiteral("{0000000D-0000-4000-8000-000000000011}");

// Classes of service and locations.
inline const QString DefaultCos = QStringLiteral("{0000000C-0000-4000-8000-000000000001}");
inline const QString AdministratorsCos = QStringLiteral("{0000000C-0000-4000-8000-000000000002}");
inline const QString RestrictedCos = QStringLiteral("{0000000C-0000-4000-8000-000000000003}");
inline const QString MissingCos = QStringLiteral("{0000000C-0000-4000-8000-0000000000FF}");
inline const QString Headquarters = QStringLiteral("{00000009-0000-4000-8000-000000000001}");
inline const QString BranchOffice = QStringLiteral("{00000009-0000-4000-8000-000000000002}");
inline const QString DirectoryApplication = QStringLiteral("{0000000A-0000-4000-8000-000000000001}");

// The schedules, keyed by display name.
inline const QString WeekdaysSchedule = QStringLiteral("Weekdays");
inline const QString AllHoursSchedule = QStringLiteral("All Hours");
inline const QString EdgeBitsSchedule = QStringLiteral("Edge Bits");

} // namespace quillor::embedded::SampleIds
