// The action popup's rules as a table: kind of slot, current action and
// conversation, server version and detail page in; entries offered, entries
// ticked and the message shown out.
#include "actions/actionmenu.h"

#include "testserver.h"

#include <QtTest>

#include <optional>

using namespace quillor;

namespace {

const auto version = test::serverVersion;

// An entry's short name: its object name without "PopupAction".
QString shortName(int entry) { return QString::fromLatin1(popupEntryInfo(entry).name).mid(11); }

// The entries whose flag is set, in menu order.
QStringList entries(const std::array<bool, PopupEntryCount> &flags)
{
    QStringList list;
    for (int i = 0; i < PopupEntryCount; ++i)
        if (flags[size_t(i)])
            list << shortName(i);
    return list;
}

// Names in menu order.
QStringList ordered(const QStringList &names)
{
    std::array<bool, PopupEntryCount> flags{};
    for (int i = 0; i < PopupEntryCount; ++i)
        flags[size_t(i)] = names.contains(shortName(i));
    return entries(flags);
}

// What every kind of slot offers on a server that has every entry.
const QStringList kCommon = ordered({"HangUp", "SignIn", "GreetingsAdministrator", "BroadcatMessageAdministrator",
                                     "HotelCheckedOut", "SystemTransfer", "SubscriberSystemTransfer",
                                     "CVMMailboxReset", "SendToDirectoryHandler", "SendToCallHandler",
                                     "SendToSubscriber", "SendToInterviewer", "SeperatorRingPhone"});

QStringList with(const QStringList &list, const QStringList &more) { return ordered(list + more); }

QStringList without(QStringList list, const QStringList &less)
{
    for (const QString &c : less)
        list.removeAll(c);
    return list;
}

} // namespace

class TestActionMenu : public QObject {
    Q_OBJECT
private slots:
    void offered_data();
    void offered();
    void ticked_data();
    void ticked();
    void everyStateIsRecomputed();
};

void TestActionMenu::offered_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("conversation");
    QTest::addColumn<TolvaVersionRecord>("server");
    QTest::addColumn<int>("page");
    QTest::addColumn<QStringList>("visible");
    QTest::addColumn<QString>("message");

    const TolvaVersionRecord current = version(4, 2, 1, 50);
    const QStringList key = with(kCommon, {"IgnoreKey", "TakeMessage", "SkipGreeting", "EasySignIn", "SeperatorLockKeys", "LockKey"});
    const QStringList pair{"AttemptToRingPhone", "SendToGreeting"};
    const QString none;
    const int handlerPage = 1;

    QTest::newRow("after greeting") << 1 << "" << current << handlerPage << with(kCommon, {"TakeMessage", "EasySignIn"}) << none;
    QTest::newRow("after message") << 2 << "" << current << handlerPage << with(kCommon, {"EasySignIn"}) << none;
    QTest::newRow("exit") << 3 << "" << current << handlerPage << kCommon << none;
    QTest::newRow("one-key entry, handler page") << 4 << "" << current << handlerPage << key << none;
    QTest::newRow("one-key entry, subscriber page")
        << 4 << "" << current << 0 << with(key, {"AlternateTransferNumber"}) << none;
    QTest::newRow("alternate number from 4.1(1.0)")
        << 4 << "" << version(4, 1, 1, 0) << 0 << with(key, {"AlternateTransferNumber"}) << none;
    QTest::newRow("alternate number not before")
        << 4 << "" << version(4, 1, 0, 99) << 0 << key << none;
    QTest::newRow("greeting on the subscriber page") << 1 << "" << current << 0
                                                     << with(kCommon, {"TakeMessage", "EasySignIn"}) << none;
    QTest::newRow("broadcast from 4.0(4.40)") << 3 << "" << version(4, 0, 4, 40) << handlerPage << kCommon << none;
    QTest::newRow("no broadcast before")
        << 3 << "" << version(4, 0, 4, 39) << handlerPage << without(kCommon, {"BroadcatMessageAdministrator"}) << none;
    QTest::newRow("ring-phone pair") << 3 << "PHGreeting" << current << handlerPage << with(kCommon, pair) << none;
    QTest::newRow("pair whatever the case") << 2 << "phtransfer" << current << handlerPage
                                            << with(kCommon, pair + QStringList{"EasySignIn"}) << none;
    QTest::newRow("pair not for other names") << 3 << "PHGreetingX" << current << handlerPage << kCommon << none;
    QTest::newRow("invalid type") << 5 << "PHTransfer" << current << handlerPage << ordered(QStringList{"SeperatorRingPhone"} + pair)
                                  << "Error, invalid action type passed into AdjustActionMenuOptions routine.";
    QTest::newRow("type 0") << 0 << "" << current << 0 << QStringList{"SeperatorRingPhone"}
                            << "Error, invalid action type passed into AdjustActionMenuOptions routine.";
}

void TestActionMenu::offered()
{
    QFETCH(int, type);
    QFETCH(QString, conversation);
    QFETCH(TolvaVersionRecord, server);
    QFETCH(int, page);
    QFETCH(QStringList, visible);
    QFETCH(QString, message);

    PopupState state;
    QCOMPARE(AdjustActionMenuOptions(state, qint16(type), conversation, server, page), message);
    QCOMPARE(entries(state.visible), visible);
}

void TestActionMenu::ticked_data()
{
    QTest::addColumn<int>("action"); // -1: could not be read
    QTest::addColumn<QString>("conversation");
    QTest::addColumn<bool>("primary");
    QTest::addColumn<bool>("locked");
    QTest::addColumn<QStringList>("ticks");
    QTest::addColumn<QString>("message");

    const QString none;
    QTest::newRow("ignore key") << 0 << "" << false << false << QStringList{"IgnoreKey"} << none;
    QTest::newRow("hang up, locked") << 1 << "" << false << true << QStringList{"HangUp", "LockKey"} << none;
    QTest::newRow("take message") << 4 << "AD" << false << false << QStringList{"TakeMessage"} << none;
    QTest::newRow("skip greeting") << 5 << "" << true << false << QStringList{"SkipGreeting"} << none;
    QTest::newRow("greeting of a call handler")
        << 2 << "PHGreeting" << false << false << QStringList{"SendToCallHandler", "SendToGreeting"} << none;
    QTest::newRow("greeting of a subscriber")
        << 2 << "PHGreeting" << true << false << QStringList{"SendToSubscriber", "SendToGreeting"} << none;
    QTest::newRow("ring a call handler")
        << 2 << "PHTransfer" << false << true
        << QStringList{"SendToCallHandler", "LockKey", "AttemptToRingPhone"} << none;
    QTest::newRow("ring a subscriber")
        << 2 << "PHTransfer" << true << false << QStringList{"SendToSubscriber", "AttemptToRingPhone"} << none;
    QTest::newRow("name lookup") << 2 << "AD" << false << false << QStringList{"SendToDirectoryHandler"} << none;
    QTest::newRow("interview") << 2 << "CHInterview" << false << false << QStringList{"SendToInterviewer"} << none;
    const QList<QPair<const char *, const char *>> own = {
        {"GreetingsAdministrator", "GreetingsAdministrator"}, {"BroadcastMessageAdministrator", "BroadcatMessageAdministrator"},
        {"SubSignIn", "SignIn"},           {"CxConvEasySignIn", "EasySignIn"},
        {"CxConvSystemTransfer", "SystemTransfer"}, {"CxConvSubSystemTransfer", "SubscriberSystemTransfer"},
        {"ConvCVMMBoxReset", "CVMMailboxReset"}, {"TransferAltContactNumber", "AlternateTransferNumber"},
        {"ConvHotelCheckedOut", "HotelCheckedOut"}};
    for (const auto &[name, entry] : own)
        QTest::newRow(name) << 2 << name << false << false << QStringList{QString::fromLatin1(entry)} << none;
    QTest::newRow("empty conversation") << 2 << "" << false << true << QStringList{"LockKey"}
                                        << "Invalid conversation name passed to SetActionMenuSettings routine:";
    QTest::newRow("ticks compare letter case") << 2 << "phgreeting" << true << false << QStringList{}
                                               << "Invalid conversation name passed to SetActionMenuSettings routine:phgreeting";
    QTest::newRow("action 3") << 3 << "PHGreeting" << false << true << QStringList{"LockKey"}
                              << "Invalid action value passed into the SetActionMenuSettings routine.";
    QTest::newRow("action 6") << 6 << "" << false << false << QStringList{}
                              << "Invalid action value passed into the SetActionMenuSettings routine.";
    QTest::newRow("unreadable action ticks nothing") << -1 << "SubSignIn" << false << true << QStringList{"LockKey"} << none;
}

void TestActionMenu::ticked()
{
    QFETCH(int, action);
    QFETCH(QString, conversation);
    QFETCH(bool, primary);
    QFETCH(bool, locked);
    QFETCH(QStringList, ticks);
    QFETCH(QString, message);

    PopupState state;
    state.ticked.fill(true); // whatever an earlier opening left
    const std::optional<qint16> code = action < 0 ? std::nullopt : std::optional<qint16>(qint16(action));
    QCOMPARE(SetActionMenuSettings(state, code, conversation, primary, locked), message);
    QCOMPARE(entries(state.ticked), ticks);
}

void TestActionMenu::everyStateIsRecomputed()
{
    // A key popup followed by an exit popup: nothing of the key's entries stays.
    PopupState state;
    AdjustActionMenuOptions(state, OneKeyAction, QStringLiteral("PHTransfer"), version(4, 2, 0, 0), 0);
    AdjustActionMenuOptions(state, ExitAction, QString(), version(4, 2, 0, 0), 0);
    QCOMPARE(entries(state.visible), kCommon);
}

QTEST_APPLESS_MAIN(TestActionMenu)
#include "tst_actionmenu.moc"
