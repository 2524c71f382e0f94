// The call handler page in the real main window on the sample server: what
// each control shows and keeps as its Tag, greeting expiry around now, and
// that nothing of one handler survives on the page when the next one is
// shown. What all four detail pages share is tested in tst_detailpages.
#include "common/appcontext.h"
#include "common/timefunctions.h"
#include "details/callhandlerpage.h"
#include "details/controltag.h"
#include "details/keygrid.h"
#include "details/pagebuild.h"
#include "details/updown.h"
#include "embedded/sampleids.h"
#include "mainwindow/routingtree.h"
#include "platform/outlinemodel.h"
#include "platform/outlineview.h"
#include "platform/validatingedit.h"
#include "testserver.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEngine>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QtTest>

using namespace quillor;
using test::sql;
namespace ids = quillor::embedded::SampleIds;

namespace {

QString tagOf(QObject *o) { return tag(o); }

// The caption of the tab page that holds `widget` in `tabs`.
QString pageCaptionOf(QTabWidget *tabs, QWidget *widget)
{
    for (int i = 0; i < tabs->count(); ++i)
        if (tabs->widget(i)->isAncestorOf(widget))
            return tabs->tabText(i);
    return {};
}

// A paint device that keeps the texts drawn on it, each as the screen shows it
// (elided, one entry a line or run), and draws nothing else.
class DrawnTexts : public QPaintDevice {
public:
    explicit DrawnTexts(QSize size) : m_size(size) {}
    QStringList texts;
    QPaintEngine *paintEngine() const override { return &m_engine; }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth: return m_size.width();
        case PdmHeight: return m_size.height();
        case PdmDevicePixelRatio: return 1;
        case PdmDpiX: case PdmDpiY: return 96;
        default: return QPaintDevice::metric(metric);
        }
    }

private:
    struct Engine : QPaintEngine {
        explicit Engine(QStringList &texts) : QPaintEngine(AllFeatures), drawn(texts) {}
        bool begin(QPaintDevice *) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState &) override {}
        void drawPath(const QPainterPath &) override {}
        void drawPolygon(const QPointF *, int, PolygonDrawMode) override {}
        void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}
        void drawTextItem(const QPointF &, const QTextItem &item) override { drawn << item.text(); }
        Type type() const override { return User; }
        QStringList &drawn;
    };
    QSize m_size;
    mutable Engine m_engine{texts};
};

} // namespace

class TestCallHandlerPage : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void profile_data();
    void profile();
    void transferRules_data();
    void transferRules();
    void transferRulesSitOnTheirPages();
    void greetings_data();
    void greetings();
    void greetingExpiryAroundNow_data();
    void greetingExpiryAroundNow();
    void expiryFieldsKeepSkippedTimes();
    void expiryDateStartsWhereTheServersDoes_data();
    void expiryDateStartsWhereTheServersDoes();
    void messageSettings_data();
    void messageSettings();
    void keyGrid();
    void keyGridShowsTheStartOfALongDestination();
    void nothingOfThePreviousHandlerStays();
    void withoutContactRulesOnlyTheProfileLoads();
    void storedCodesOutsideTheLists();
    void dispatch();
    void leafAndInvalidLink();
    void selectingTreeRowsLoadsTheirPage();
    void upDownStepsTheDelay_data();
    void upDownStepsTheDelay();

private:
    void show(const QString &handler)
    {
        m_f.seams->messages->shown.clear();
        m_f.window->LoadTabInfo(handler, 3);
    }
    CallHandlerPage &page() { return m_f.window->callHandlerPage(); }
    template <typename T> T *find(const QString &name) { return m_f.window->findChild<T *>(name); }

    test::MainWindowFixture m_f;
};

void TestCallHandlerPage::init()
{
    QVERIFY(m_f.start());
    QCOMPARE(m_f.seams->messages->texts(), QStringList{});
}

void TestCallHandlerPage::cleanup() { m_f.stop(); }

void TestCallHandlerPage::profile_data()
{
    QTest::addColumn<QString>("handler");
    QTest::addColumn<QString>("displayName");
    QTest::addColumn<QString>("alias");
    QTest::addColumn<QString>("owner");
    QTest::addColumn<QString>("ownerTag");
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("languageIndex");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("schedule");

    // Language Null is "Inherited"; 1031 is on the server's list; 1025 is not,
    // so nothing is selected and the stored language shows greyed.
    QTest::newRow("opening greeting") << ids::OpeningGreeting << "Opening Greeting" << "openinggreetingch"
                                      << "Alice Admin" << "1" << "Inherited" << 0 << "1000" << "Weekdays";
    QTest::newRow("operator") << ids::Operator << "Operator" << "operatorch" << "Operators" << "2"
                              << "English (United States)" << 1 << "1001" << "All Hours";
    QTest::newRow("sales") << ids::Sales << "Sales" << "salesch" << "All Subscribers" << "2" << "German (Germany)" << 2
                           << "1100" << "Weekdays";
    QTest::newRow("owner is a scope list, language not loaded")
        << ids::EdgeCases << "Edge Cases" << "edgecasesch" << "All Subscribers" << "2" << "" << -1 << "1400"
        << "Weekdays";
    QTest::newRow("no owner") << ids::Orphan << "Orphan" << "orphanch" << "" << "-1" << "English (United States)" << 1
                              << "1300" << "Weekdays";
    QTest::newRow("owner deleted") << ids::GhostHandler << "Ghost Subscriber" << "ch_ghost" << "Invalid Link" << "97"
                                   << "English (United States)" << 1 << "" << "Weekdays";
}

void TestCallHandlerPage::profile()
{
    QFETCH(QString, handler);
    QFETCH(QString, displayName);
    QFETCH(QString, alias);
    QFETCH(QString, owner);
    QFETCH(QString, ownerTag);
    QFETCH(QString, language);
    QFETCH(int, languageIndex);
    QFETCH(QString, extension);
    QFETCH(QString, schedule);

    show(handler);
    auto *name = find<QLineEdit>(QStringLiteral("txtHandlerProfileDisplayName"));
    auto *ownerBox = find<QLineEdit>(QStringLiteral("txtHandlerProfileOwner"));
    auto *languageList = find<QComboBox>(QStringLiteral("cmbHandlerProfileLanguage"));
    auto *extensionBox = find<QLineEdit>(QStringLiteral("txtHandlerProfileExtension"));
    auto *scheduleList = find<QComboBox>(QStringLiteral("cmbHandlerProfileSchedule"));
    QVERIFY(name && ownerBox && languageList && extensionBox && scheduleList);

    QCOMPARE(name->text(), displayName);
    QCOMPARE(tagOf(name), displayName);
    QCOMPARE(find<QLineEdit>(QStringLiteral("txtHandlerProfileAlias"))->text(), alias);
    QCOMPARE(ownerBox->text(), owner);
    QCOMPARE(tagOf(ownerBox), ownerTag);
    QCOMPARE(languageList->currentIndex(), languageIndex);
    QCOMPARE(languageList->currentText(), language);
    QCOMPARE(tagOf(languageList), language);
    QCOMPARE(extensionBox->text(), extension);
    QCOMPARE(tagOf(extensionBox), extension);
    QCOMPARE(scheduleList->currentText(), schedule);
    QCOMPARE(tagOf(scheduleList), schedule);
    QCOMPARE(find<QLineEdit>(QStringLiteral("txtHandlerProfileSwitch"))->text(), QStringLiteral("Main PBX"));
    QCOMPARE(find<QLabel>(QStringLiteral("lblCurrentObjectDisplayName"))->text(), displayName);

    const SelectedObject &selected = m_f.window->CurrentlySelectedObject();
    QCOMPARE(selected.ObjectType, qint16(3));
    QCOMPARE(selected.ObjectID, handler);
    QCOMPARE(selected.Alias, alias);
    QCOMPARE(selected.DisplayName, displayName);
    QVERIFY(!m_f.server->ctx().state().bLoadingControls);
}

void TestCallHandlerPage::transferRules_data()
{
    QTest::addColumn<QString>("handler");
    QTest::addColumn<int>("rule");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("ringPhone");
    QTest::addColumn<QString>("transferString");
    QTest::addColumn<QString>("rings");
    QTest::addColumn<QString>("type");

    QTest::newRow("sales standard: ring") << ids::Sales << 0 << true << true << "9123" << "4" << "Release";
    QTest::newRow("sales off hours: never expires") << ids::Sales << 1 << true << true << "1234" << "4" << "Release";
    QTest::newRow("sales alternate: to greeting") << ids::Sales << 2 << true << false << "123" << "4" << "Release";
    QTest::newRow("operator standard: supervised") << ids::Operator << 0 << true << true << "1001" << "6" << "Supervised";
    QTest::newRow("operator off hours: expired") << ids::Operator << 1 << false << false << "1001" << "4" << "Release";
}

void TestCallHandlerPage::transferRules()
{
    QFETCH(QString, handler);
    QFETCH(int, rule);
    QFETCH(bool, enabled);
    QFETCH(bool, ringPhone);
    QFETCH(QString, transferString);
    QFETCH(QString, rings);
    QFETCH(QString, type);

    show(handler);
    auto *check = find<QCheckBox>(indexedName(QStringLiteral("chkHandlerTransferEnabled"), rule));
    auto *toGreeting = find<QRadioButton>(indexedName(QStringLiteral("optHandlerTransferSendToGreeting"), rule));
    auto *ring = find<QRadioButton>(indexedName(QStringLiteral("optHandlerTransferAttemptRingPhone"), rule));
    auto *string = find<QLineEdit>(indexedName(QStringLiteral("txtHandlerTransferString"), rule));
    auto *ringsBox = find<QLineEdit>(indexedName(QStringLiteral("txtHandlerTransferRingstoWait"), rule));
    auto *typeList = find<QComboBox>(indexedName(QStringLiteral("cmbHandlerTransferType"), rule));
    QVERIFY(check && toGreeting && ring && string && ringsBox && typeList);

    QCOMPARE(check->isChecked(), enabled);
    QCOMPARE(tagOf(check), enabled ? QStringLiteral("1") : QStringLiteral("0"));
    QCOMPARE(ring->isChecked(), ringPhone);
    QCOMPARE(toGreeting->isChecked(), !ringPhone);
    QCOMPARE(tagOf(ring), ringPhone ? QStringLiteral("True") : QStringLiteral("False"));
    QCOMPARE(tagOf(toGreeting), ringPhone ? QStringLiteral("False") : QStringLiteral("True"));
    QCOMPARE(string->text(), transferString);
    QCOMPARE(ringsBox->text(), rings);
    QCOMPARE(typeList->currentText(), type);
    QCOMPARE(tagOf(string), transferString);
    QCOMPARE(tagOf(ringsBox), rings);
    QCOMPARE(tagOf(typeList), type);
    const EditLock &lock = page().editLock();
    QCOMPARE(lock.isUsable(ring), enabled);
    QCOMPARE(lock.isUsable(toGreeting), enabled);
    for (QWidget *field : {static_cast<QWidget *>(string), static_cast<QWidget *>(ringsBox),
                           static_cast<QWidget *>(typeList)})
        QCOMPARE(lock.isUsable(field), enabled && ringPhone);
}

void TestCallHandlerPage::transferRulesSitOnTheirPages()
{
    auto *tabs = find<QTabWidget>(QStringLiteral("tabHandlerTransferInfo"));
    QVERIFY(tabs);
    QCOMPARE(tabs->count(), 3);
    const QStringList captions{"Standard", "Closed", "Alternate"};
    for (int i = 0; i < 3; ++i)
        QCOMPARE(pageCaptionOf(tabs, find<QWidget>(indexedName(QStringLiteral("frameHandlerTransferInfo"), i))),
                 captions[i]);
    QCOMPARE(tabs->tabText(0), QStringLiteral("Alternate"));
}

void TestCallHandlerPage::greetings_data()
{
    QTest::addColumn<QString>("handler");
    QTest::addColumn<int>("greeting");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("allowInput");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("repeat");
    QTest::addColumn<QString>("path");

    QTest::newRow("recording, repeated once") << ids::OpeningGreeting << 0 << true << true << "Ring phone for: Operator"
                                              << 1 << 1 << "openinggreetingch_Standard.wav";
    QTest::newRow("switched off") << ids::OpeningGreeting << 2 << false << true << "Take Message" << 0 << 0 << "(none)";
    QTest::newRow("blank, expires later") << ids::OpeningGreeting << 3 << true << true << "Hang Up" << 2 << 0
                                          << "(none)";
    QTest::newRow("expired") << ids::OpeningGreeting << 4 << false << true << "Route to subscriber sign in" << 0 << 0 << "(none)";
    QTest::newRow("null action") << ids::EdgeCases << 0 << true << true << "" << 0 << 0 << "(none)";
    QTest::newRow("null source") << ids::EdgeCases << 1 << true << true << "Take Message" << -1 << 0 << "(none)";
    QTest::newRow("nine repeats") << ids::EdgeCases << 2 << false << true << "Take Message" << 0 << 9 << "(none)";
    QTest::newRow("ignores digits") << ids::EdgeCases << 3 << false << false << "Take Message" << 0 << 0 << "(none)";
}

void TestCallHandlerPage::greetings()
{
    QFETCH(QString, handler);
    QFETCH(int, greeting);
    QFETCH(bool, enabled);
    QFETCH(bool, allowInput);
    QFETCH(QString, action);
    QFETCH(int, source);
    QFETCH(int, repeat);
    QFETCH(QString, path);

    show(handler);
    const CallHandlerPage::Greeting &g = page().greetings[size_t(greeting)];
    QCOMPARE(g.chkHandlerGreetingEnabled->objectName(), indexedName(QStringLiteral("chkHandlerGreetingEnabled"), greeting));
    QCOMPARE(g.chkHandlerGreetingEnabled->isChecked(), enabled);
    QCOMPARE(g.chkHandlerGreetingAllowUserInput->isChecked(), allowInput);
    QCOMPARE(g.txtHandlerGreetingsAfterGreetingAction->text(), action);
    QCOMPARE(g.cmbHandlerGreetingSource->currentIndex(), source);
    QCOMPARE(g.cmbHandlerGreetingRepeat->currentIndex(), repeat);
    QCOMPARE(g.txtCallHandlerGreetingStreamPath->text(), path);
    QCOMPARE(test::asStored(g.txtHandlerGreetingObjectID->text()), ids::greetingId(handler, greeting));
    QVERIFY(g.txtHandlerGreetingObjectID->isHidden());
    // The switch decides which of the greeting's controls can be used.
    for (QWidget *control : {static_cast<QWidget *>(g.chkHandlerGreetingAllowUserInput),
                             static_cast<QWidget *>(g.cmbHandlerGreetingSource),
                             static_cast<QWidget *>(g.cmbHandlerGreetingRepeat),
                             static_cast<QWidget *>(g.cmbHandlerGreetingChangeAfterGreetingAction),
                             static_cast<QWidget *>(g.optExpireGreetingNever),
                             static_cast<QWidget *>(g.optExpireGreetingOnDate),
                             static_cast<QWidget *>(g.dateGreetingExpire)})
        QCOMPARE(page().editLock().isUsable(control), enabled);
    QVERIFY(page().editLock().isUsable(g.timeGreetingExpire));
    if (!enabled)
        QVERIFY(g.optExpireGreetingNever->isChecked());
    QCOMPARE(pageCaptionOf(page().tabHandlerGreetingInfo, g.frameHandlerGreetingInfo),
             greetingRuleAlias(greeting));
}

void TestCallHandlerPage::greetingExpiryAroundNow_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QVariant>("expiresUtc");
    QTest::addColumn<bool>("active");
    QTest::addColumn<bool>("onDate");
    QTest::addColumn<QDateTime>("shown");

    const QDateTime summer(QDate(2026, 7, 1), QTime(11, 30)); // 09:30 universal time in Berlin
    const QDateTime winter(QDate(2026, 12, 9), QTime(8, 0));   // 07:00 universal time
    // Stored times are universal: 10:00 UTC is still ahead at 11:30 summer time.
    QTest::newRow("ahead in UTC, behind as local") << summer << QVariant(QStringLiteral("2026-07-01 10:00:00")) << true
                                                   << true << QDateTime(QDate(2026, 7, 1), QTime(12, 0));
    QTest::newRow("just passed") << summer << QVariant(QStringLiteral("2026-07-01 09:29:00")) << false << false
                                 << QDateTime();
    QTest::newRow("a day ahead, winter") << winter << QVariant(QStringLiteral("2026-12-10 07:00:00")) << true << true
                                         << QDateTime(QDate(2026, 12, 10), QTime(8, 0));
    QTest::newRow("never") << winter << QVariant() << true << false << QDateTime();
    // Both moments of the autumn fold read 02:30 (Berlin falls back on 25 October 2026).
    const QDateTime autumn(QDate(2026, 10, 1), QTime(9, 0));
    QTest::newRow("fold, first") << autumn << QVariant(QStringLiteral("2026-10-25 00:30:00")) << true << true
                                 << QDateTime(QDate(2026, 10, 25), QTime(2, 30));
    QTest::newRow("fold, second") << autumn << QVariant(QStringLiteral("2026-10-25 01:30:00")) << true << true
                                  << QDateTime(QDate(2026, 10, 25), QTime(2, 30));
}

// The expiry edits hold wall-clock fields: moving the date onto the day the
// clock springs forward keeps a time the clock skips (an edit in local time
// would make it midnight), and the conversion resolves it.
void TestCallHandlerPage::expiryFieldsKeepSkippedTimes()
{
    show(ids::Operator);
    const CallHandlerPage::Greeting &g = page().greetings[3];
    setLocalFields(g.timeGreetingExpire, QDateTime(QDate(2026, 3, 28), QTime(2, 30)));
    g.dateGreetingExpire->setDate(QDate(2026, 3, 29));
    setLocalFields(g.timeGreetingExpire, QDateTime(g.dateGreetingExpire->date(), g.timeGreetingExpire->time()));
    QCOMPARE(g.timeGreetingExpire->date(), QDate(2026, 3, 29));
    QCOMPARE(g.timeGreetingExpire->time(), QTime(2, 30));
    QVERIFY(g.timeGreetingExpire->text().startsWith(QStringLiteral("02:30")));
    QCOMPARE(dtLocalToUTC(g.dateGreetingExpire->date(), g.timeGreetingExpire->time()),
             QDateTime(QDate(2026, 3, 29), QTime(1, 30), Qt::UTC));
}

// SQL Server's datetime starts on 1753-01-01; a day later, no shift between
// local and universal time takes a date the editor offers below it.
void TestCallHandlerPage::expiryDateStartsWhereTheServersDoes_data()
{
    QTest::addColumn<QDate>("picked");
    QTest::addColumn<QDate>("shown");
    QTest::newRow("the server's first day") << QDate(1753, 1, 1) << QDate(1753, 1, 2);
    QTest::newRow("the day after") << QDate(1753, 1, 2) << QDate(1753, 1, 2);
}

void TestCallHandlerPage::expiryDateStartsWhereTheServersDoes()
{
    QFETCH(QDate, picked);
    QFETCH(QDate, shown);
    show(ids::Operator);
    QDateTimeEdit *date = page().greetings[3].dateGreetingExpire;
    date->setDate(picked);
    QCOMPARE(date->date(), shown);
}

void TestCallHandlerPage::greetingExpiryAroundNow()
{
    QFETCH(QDateTime, now);
    QFETCH(QVariant, expiresUtc);
    QFETCH(bool, active);
    QFETCH(bool, onDate);
    QFETCH(QDateTime, shown);

    m_f.seams->clock->current = now;
    QVERIFY(sql(m_f.server->ctx(), QStringLiteral("UPDATE MessagingRule SET TimeExpires=? WHERE MessagingRuleObjectID=?"),
                {expiresUtc.isValid() ? expiresUtc : QVariant(QMetaType::fromType<QString>()),
                 ids::greetingId(ids::Operator, 3)}));
    show(ids::Operator);
    const CallHandlerPage::Greeting &g = page().greetings[3];
    QCOMPARE(g.chkHandlerGreetingEnabled->isChecked(), active);
    QCOMPARE(g.optExpireGreetingOnDate->isChecked(), onDate);
    QCOMPARE(g.optExpireGreetingNever->isChecked(), !onDate);
    if (onDate) {
        QCOMPARE(g.dateGreetingExpire->date(), shown.date());
        QCOMPARE(g.timeGreetingExpire->time(), shown.time());
    } else {
        QCOMPARE(g.dateGreetingExpire->date(), now.date());
        QCOMPARE(g.timeGreetingExpire->time(), QTime(12, 0));
    }
}

void TestCallHandlerPage::messageSettings_data()
{
    QTest::addColumn<QString>("handler");
    QTest::addColumn<QString>("recipient");
    QTest::addColumn<QString>("recipientTag");
    QTest::addColumn<QString>("maxLength");
    QTest::addColumn<bool>("canEdit");
    QTest::addColumn<QString>("urgent");
    QTest::addColumn<QString>("afterMessage");
    QTest::addColumn<QString>("delay");

    QTest::newRow("opening greeting") << ids::OpeningGreeting << "Operators" << "2" << "300" << true << "Ask Caller"
                                      << "Send to greeting for: Goodbye" << "1500";
    QTest::newRow("recipient deleted") << ids::Orphan << "Invalid Link" << "97" << "300" << true << "Never"
                                       << "Hang Up" << "1500";
}

void TestCallHandlerPage::messageSettings()
{
    QFETCH(QString, handler);
    QFETCH(QString, recipient);
    QFETCH(QString, recipientTag);
    QFETCH(QString, maxLength);
    QFETCH(bool, canEdit);
    QFETCH(QString, urgent);
    QFETCH(QString, afterMessage);
    QFETCH(QString, delay);

    show(handler);
    auto *recipientBox = find<QLineEdit>(QStringLiteral("txtHandlerMessagesRecipient"));
    auto *length = find<QLineEdit>(QStringLiteral("txtHandlerMessagesMaxMessageLength"));
    QVERIFY(recipientBox && length);
    QCOMPARE(recipientBox->text(), recipient);
    QCOMPARE(tagOf(recipientBox), recipientTag);
    QCOMPARE(length->text(), maxLength);
    QCOMPARE(tagOf(length), maxLength);
    QCOMPARE(find<QCheckBox>(QStringLiteral("chkHandlerMessagesCanEditMessages"))->isChecked(), canEdit);
    QCOMPARE(find<QComboBox>(QStringLiteral("cmbHandlerMessagesCanMarkUrgent"))->currentText(), urgent);
    QCOMPARE(find<QLineEdit>(QStringLiteral("txtHandlerMessagesAfterMessageAction"))->text(), afterMessage);
    QCOMPARE(find<QSpinBox>(QStringLiteral("txtCallHandlerMillisecondsToWaitForAdditionalDigits"))->text(), delay);
}

void TestCallHandlerPage::keyGrid()
{
    show(ids::OpeningGreeting);
    auto *grid = find<KeyGridWidget>(QStringLiteral("gridHandlerKeys"));
    QVERIFY(grid);
    QVERIFY(!grid->isColumnShown(QStringLiteral("ObjectID")));
    QVERIFY(grid->isColumnShown(QStringLiteral("Action")));
    // Rows 1 to 12 hold the keys "0" to "9", "*", "#".
    const QStringList keys{"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "*", "#"};
    for (int row = 1; row <= 12; ++row) {
        QCOMPARE(grid->cellText(row, QStringLiteral("Key")), keys[row - 1]);
        QCOMPARE(test::asStored(grid->menuEntryObjectId(row)), ids::menuEntryId(ids::OpeningGreeting, row - 1));
        QCOMPARE(grid->isLocked(row), row >= 11);
    }
    QCOMPARE(grid->cellText(1, QStringLiteral("Action")), QStringLiteral("Ring phone for: Operator"));
    QCOMPARE(grid->cellText(11, QStringLiteral("Action")), QStringLiteral("Route to subscriber sign in"));
    QCOMPARE(grid->cellText(7, QStringLiteral("Action")), QStringLiteral("Invalid Link!"));

    // The server's order of rows does not matter: each key finds its own.
    QVERIFY(sql(m_f.server->ctx(), QStringLiteral("UPDATE MenuEntry SET Alias=CASE Alias WHEN '*' THEN '#' ELSE '*' END "
                                                "WHERE ParentObjectID=? AND Alias IN ('*','#')"),
                {ids::OpeningGreeting}));
    show(ids::OpeningGreeting);
    QCOMPARE(test::asStored(grid->menuEntryObjectId(11)), ids::menuEntryId(ids::OpeningGreeting, 11));
    QCOMPARE(test::asStored(grid->menuEntryObjectId(12)), ids::menuEntryId(ids::OpeningGreeting, 10));
}

void TestCallHandlerPage::keyGridShowsTheStartOfALongDestination()
{
    // One word, so a wrapped cell would break before it and elide all of it.
    const QString name = QStringLiteral("AbcdefghijKlmnopqrstUvwxyzAbcdefghijKlmn");
    QVERIFY(sql(m_f.server->ctx(), QStringLiteral("UPDATE CallHandler SET TextName=? WHERE CallHandlerObjectID=?"),
                {name, ids::Sales}));
    show(ids::OpeningGreeting);
    auto *table = page().gridHandlerKeys->findChild<QTableWidget *>();
    test::reveal(table);
    const int row = KeyGridWidget::rowOfKey(QStringLiteral("1"));
    const QString text = QStringLiteral("Send to greeting for: ") + name;
    QCOMPARE(page().gridHandlerKeys->cellText(row, QStringLiteral("Action")), text);
    const QRect cell = table->visualItemRect(table->item(row - 1, keyedColumn(table, QStringLiteral("Action"))));
    QVERIFY2(table->fontMetrics().horizontalAdvance(text) > cell.width(), "the cell holds the whole text");

    DrawnTexts drawn(table->viewport()->size());
    table->viewport()->render(&drawn, QPoint(), QRegion(cell));
    const QString shown = drawn.texts.join(QString());
    QVERIFY2(shown.startsWith(text.left(32)) && shown.endsWith(QChar(0x2026)), qPrintable(shown));
}

void TestCallHandlerPage::nothingOfThePreviousHandlerStays()
{
    show(ids::Sales);
    QCOMPARE(page().cmbHandlerProfileLanguage->currentText(), QStringLiteral("German (Germany)"));
    show(ids::Orphan);
    // The Internal greeting, the Off Hours rule and key "#" are missing: their
    // controls are empty and cannot be used, so no writer reaches Sales' rows.
    const CallHandlerPage::Greeting &internal = page().greetings[4];
    QCOMPARE(internal.txtHandlerGreetingObjectID->text(), QString());
    QVERIFY(!internal.frameHandlerGreetingInfo->isEnabled());
    QCOMPARE(internal.txtHandlerGreetingsAfterGreetingAction->text(), QString());
    const CallHandlerPage::TransferRule &offHours = page().transferRules[1];
    QCOMPARE(offHours.txtHandlerTransferString->text(), QString());
    QCOMPARE(tagOf(offHours.txtHandlerTransferString), QString());
    QVERIFY(!offHours.frameHandlerTransferInfo->isEnabled());
    QVERIFY(page().transferRules[0].frameHandlerTransferInfo->isEnabled());
    auto *grid = page().gridHandlerKeys;
    QCOMPARE(grid->menuEntryObjectId(12), QString());
    QVERIFY(!grid->isRowLoaded(12));
    QVERIFY(grid->isRowLoaded(11));
    // A language the list does not hold selects nothing rather than the last one.
    show(ids::EdgeCases);
    QCOMPARE(page().cmbHandlerProfileLanguage->currentIndex(), -1);
    QCOMPARE(page().cmbHandlerProfileLanguage->placeholderText(), QStringLiteral("Arabic (Saudi Arabia)"));
}

void TestCallHandlerPage::withoutContactRulesOnlyTheProfileLoads()
{
    show(ids::Sales);
    QVERIFY(sql(m_f.server->ctx(), QStringLiteral("DELETE FROM ContactRule WHERE ParentObjectID=?"), {ids::Operator}));
    show(ids::Operator);
    QCOMPARE(m_f.seams->messages->texts(),
             QStringList{"Error, could not find contact (transfer) rules for selected call handler"});
    QCOMPARE(page().txtHandlerProfileDisplayName->text(), QStringLiteral("Operator"));
    for (const CallHandlerPage::Greeting &g : page().greetings) {
        QVERIFY(!g.frameHandlerGreetingInfo->isEnabled());
        QCOMPARE(g.txtHandlerGreetingObjectID->text(), QString());
    }
    QVERIFY(!page().pageMessages->isEnabled());
    QCOMPARE(page().txtHandlerMessagesRecipient->text(), QString());
    QVERIFY(!page().pageUserInput->isEnabled());
}

void TestCallHandlerPage::storedCodesOutsideTheLists()
{
    AppContext &ctx = m_f.server->ctx();
    QVERIFY(sql(ctx, QStringLiteral("UPDATE MessagingRule SET PlayWhat=7, Reprompts=12 WHERE MessagingRuleObjectID=?"),
                {ids::greetingId(ids::Sales, 0)}));
    // -1 is "no choice made", not a fault.
    QVERIFY(sql(ctx, QStringLiteral("UPDATE MessagingRule SET PlayWhat=-1, Reprompts=-1 WHERE MessagingRuleObjectID=?"),
                {ids::greetingId(ids::Sales, 1)}));
    QVERIFY(sql(ctx, QStringLiteral("UPDATE CallHandler SET SendUrgentMsg=5 WHERE CallHandlerObjectID=?"), {ids::Sales}));
    QVERIFY(sql(ctx, QStringLiteral("UPDATE ContactRule SET TransferType=NULL WHERE ContactRuleObjectID=?"),
                {ids::contactRuleId(ids::Sales, 0)}));
    show(ids::Operator);
    show(ids::Sales);
    const QString invalid =
        QStringLiteral("(error):380 (Invalid property value) in procedure LoadTabCallHandler of Form frmMain");
    QCOMPARE(m_f.seams->messages->texts(), (QStringList{invalid, invalid, invalid}));
    QCOMPARE(page().greetings[0].cmbHandlerGreetingSource->currentIndex(), -1);
    QCOMPARE(page().greetings[0].cmbHandlerGreetingRepeat->currentIndex(), -1);
    QCOMPARE(page().cmbHandlerMessagesCanMarkUrgent->currentIndex(), -1);
    QCOMPARE(page().greetings[1].cmbHandlerGreetingSource->currentIndex(), -1);
    QCOMPARE(page().greetings[1].cmbHandlerGreetingRepeat->currentIndex(), -1);
    QCOMPARE(storedPosition(page().greetings[1].cmbHandlerGreetingRepeat), std::nullopt);
    QCOMPARE(storedPosition(page().greetings[2].cmbHandlerGreetingRepeat), std::optional<int>(0));
    // Only a stored 0 is a release transfer.
    QCOMPARE(page().transferRules[0].cmbHandlerTransferType->currentText(), QStringLiteral("Supervised"));
}

void TestCallHandlerPage::dispatch()
{
    AppState &state = m_f.server->ctx().state();
    state.bSuppressTabLoad = true;
    state.bLoadingControls = true;
    show(ids::Sales);
    QCOMPARE(m_f.window->CurrentlySelectedObject().ObjectID, ids::OpeningGreeting);
    QVERIFY(state.bLoadingControls); // untouched while suppressed
    state.bSuppressTabLoad = false;

    m_f.window->LoadTabInfo(ids::Sales, 98);
    QCOMPARE(m_f.window->CurrentlySelectedObject().ObjectID, ids::Sales);
    QVERIFY(!state.bLoadingControls);

    m_f.seams->messages->shown.clear();
    m_f.window->LoadTabInfo(ids::Operator, 2);
    QCOMPARE(m_f.seams->messages->texts(), QStringList{"Error: Illegal node type in LoadTabInfo function"});
    QCOMPARE(m_f.window->CurrentlySelectedObject().ObjectID, ids::Sales);
    QCOMPARE(find<QLabel>(QStringLiteral("lblCurrentObjectDisplayName"))->text(), QString());
    QVERIFY(!state.bLoadingControls);
}

void TestCallHandlerPage::leafAndInvalidLink()
{
    auto *view = find<platform::OutlineTreeView>(QStringLiteral("ATTree"));
    auto *leaf = find<QLineEdit>(QStringLiteral("txtLeafAction"));
    QVERIFY(view && leaf);
    platform::OutlineModel &model = m_f.window->routingTree().ATTree();
    platform::OutlineNode *root = model.root();
    // Key "#" of the opening greeting hangs up; key 6 names a deleted handler.
    platform::OutlineNode *hangUp = nullptr;
    platform::OutlineNode *invalid = nullptr;
    for (int i = 0; i < root->childCount(); ++i) {
        const QString text = model.mainText(root->child(i));
        if (text.startsWith(QStringLiteral("#:")))
            hangUp = root->child(i);
        if (text.startsWith(QStringLiteral("6:")))
            invalid = root->child(i);
    }
    QVERIFY(hangUp && invalid);

    view->selectNode(invalid);
    QCOMPARE(leaf->text(), QStringLiteral(" Invalid Link!"));
    QCOMPARE(m_f.window->CurrentlySelectedObject().ObjectID, ids::OpeningGreeting);

    view->selectNode(hangUp);
    QCOMPARE(leaf->text(), QStringLiteral("Hang Up"));
    const SelectedObject &selected = m_f.window->CurrentlySelectedObject();
    QCOMPARE(selected.ObjectType, qint16(0));
    QCOMPARE(selected.ObjectID, QString());
    QCOMPARE(selected.Alias, QString());
    QCOMPARE(find<QLabel>(QStringLiteral("lblCurrentObjectDisplayName"))->text(), QString());
}

void TestCallHandlerPage::selectingTreeRowsLoadsTheirPage()
{
    auto *view = find<platform::OutlineTreeView>(QStringLiteral("ATTree"));
    platform::OutlineModel &model = m_f.window->routingTree().ATTree();
    platform::OutlineNode *sales = nullptr;
    for (int i = 0; i < model.root()->childCount(); ++i)
        if (model.mainText(model.root()->child(i)).startsWith(QStringLiteral("1:")))
            sales = model.root()->child(i);
    QVERIFY(sales);
    view->selectNode(sales);
    QCOMPARE(page().txtHandlerProfileAlias->text(), QStringLiteral("salesch"));
    QCOMPARE(find<QTabWidget>(QStringLiteral("tabInfoTab"))->currentIndex(), 1);
    view->selectNode(model.root());
    QCOMPARE(page().txtHandlerProfileAlias->text(), QStringLiteral("openinggreetingch"));
}

void TestCallHandlerPage::upDownStepsTheDelay_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("typed"); // typed into the box and not yet committed
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("result");
    QTest::newRow("up") << "1500" << false << "up" << "1600";
    QTest::newRow("down") << "1500" << false << "down" << "1400";
    QTest::newRow("stops at the top") << "31950" << false << "up" << "32000";
    QTest::newRow("stops at zero") << "50" << false << "down" << "0";
    QTest::newRow("from a typed value") << "1234" << true << "up" << "1334";
}

void TestCallHandlerPage::upDownStepsTheDelay()
{
    QFETCH(QString, start);
    QFETCH(bool, typed);
    QFETCH(QString, button);
    QFETCH(QString, result);
    auto *box = find<QSpinBox>(QStringLiteral("txtCallHandlerMillisecondsToWaitForAdditionalDigits"));
    auto *upDown = find<UpDownControl>(QStringLiteral("UpDown1"));
    QVERIFY(box && upDown);
    page().editLock().release(box);
    page().editLock().release(upDown);
    if (typed) {
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, start);
    } else {
        box->setValue(start.toInt());
    }
    QSignalSpy changes(box, &QSpinBox::valueChanged);
    upDown->findChild<QToolButton *>(button)->click();
    QCOMPARE(box->text(), result);
    // Each step is one change, a typed value included.
    QCOMPARE(changes.count(), 1);
}

QTEST_MAIN(TestCallHandlerPage)
#include "tst_callhandlerpage.moc"
