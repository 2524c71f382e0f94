// quillor-bench: times the program's operations on the sample server and on
// generated servers of several sizes and prints one tab-separated line per
// operation: its time, the statements it sent and, when the server is reached
// over the network (--server tds: FreeTDS to the TDS stand-in serving the same
// files, each reply held back by --latency-ms), the requests the server got.
//
// Each size runs in a child process of its own, so that its peak memory is
// its own and not the largest size's so far.
#include "actions/setuseraction.h"
#include "common/appcontext.h"
#include "common/objectid.h"
#include "creation/creation.h"
#include "embedded/generator.h"
#include "embedded/sampleserver.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/objectgrid.h"
#include "mainwindow/routingtree.h"
#include "mainwindow/treeexport.h"
#include "pickers/frmpickers.h"
#include "pickers/pickerregistry.h"
#include "platform/apppaths.h"
#include "platform/outlineview.h"
#include "platform/seams.h"
#include "platform/validatingedit.h"
#include "reports/frmavailableextensions.h"
#include "reports/frmdependency.h"
#include "reports/frmfindtransferstring.h"
#include "reports/frmschedules.h"
#include "tdsserver.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
#include <functional>
#include <malloc.h>
#include <unistd.h>

using namespace quillor;

namespace {

// The deep server's chains: as long as the longest ones servers in use have.
constexpr int kDeepChainLength = 200;

double peakMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

// The bytes the process has taken from the heap and not given back.
double heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks + info.hblkhd);
}

// A message the program shows is printed, never waited for.
class PrintedMessages final : public platform::MessageBoxSeam {
public:
    platform::MsgAnswer show(QWidget *, const QString &text, platform::MsgButtons, const QString &,
                             platform::MsgIcon) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return platform::MsgAnswer::Ok;
    }
};

class Reporter {
public:
    // `requests`: what the server has been asked so far over the network; none in this process.
    Reporter(const QString &label, platform::Database &db, std::function<int()> requests = {})
        : m_label(label.toUtf8()), m_db(db), m_requests(std::move(requests))
    {
    }
    // Runs one operation and prints its line.
    template <typename F> void measure(const char *operation, F &&work)
    {
        const quint64 queries = m_db.queryCount();
        const int requests = m_requests ? m_requests() : 0;
        QElapsedTimer timer;
        timer.start();
        work();
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        const QByteArray asked = m_requests ? QByteArray::number(m_requests() - requests) : QByteArrayLiteral("-");
        std::printf("%s\t%s\t%.4f\t%llu\t%s\t%.1f\n", m_label.constData(), operation, seconds,
                    static_cast<unsigned long long>(m_db.queryCount() - queries), asked.constData(), peakMegabytes());
        std::fflush(stdout);
    }

private:
    QByteArray m_label;
    platform::Database &m_db;
    std::function<int()> m_requests;
};

// The subscriber picker as the user runs it: every subscriber searched for
// ("*"), until the grid has laid out and painted its rows.
void measurePickerSearch(Reporter &report, frmMain &window, const char *who)
{
    frmSubscriberSearch &picker = window.pickers().subscriberSearch();
    picker.show();
    QCoreApplication::processEvents();
    picker.findChild<QLineEdit *>(QStringLiteral("txtSearchString"))->setText(QStringLiteral("*"));
    report.measure("picker_subscribers", [&] {
        picker.findChild<QPushButton *>(QStringLiteral("cmdSearch"))->click();
        QCoreApplication::processEvents();
    });
    std::fprintf(stderr, "%s: %d rows in the subscriber picker\n", who, picker.results().rowCount());
    picker.reject();
}

// The server's files as the bench reads them to choose what to measure, apart
// from the program's own connections (which count what the program sends).
class ServerFiles {
public:
    explicit ServerFiles(const QString &folder)
        : m_db(profileOf(folder), embedded::standInProcedures())
    {
    }
    // The first value of a query's first row, as text; "" when there is none.
    QString firstValue(const QString &sql, const QVariantList &params = {})
    {
        const platform::Recordset rs = m_db.open(QStringLiteral("Initial Catalog=TolvaDb"), sql, params);
        return rs.RecordCount() > 0 ? rs.value(0, 0).toString() : QString();
    }
    platform::Recordset open(const QString &sql, const QVariantList &params)
    {
        return m_db.open(QStringLiteral("Initial Catalog=TolvaDb"), sql, params);
    }

private:
    static platform::ServerProfile profileOf(const QString &folder)
    {
        platform::ServerProfile files;
        files.mainDatabase = QStringLiteral("sqlite:") + folder + QStringLiteral("/TolvaDb.sqlite");
        files.directoryDatabase = QStringLiteral("sqlite:") + folder + QStringLiteral("/TolvaDirDB.sqlite");
        return files;
    }
    platform::Database m_db;
};

// The report and tool windows, each used as the administrator uses it.
void measureReportsAndTools(Reporter &report, ServerFiles &files, AppContext &ctx, QWidget &owner, const char *who)
{
    // The call handler that most keys and greetings lead to.
    const QString mostReferenced = files.firstValue(
        QStringLiteral("SELECT r.DestinationObjectID FROM (SELECT DestinationObjectID FROM MenuEntry UNION ALL "
                       "SELECT DestinationObjectID FROM MessagingRule) r JOIN CallHandler c ON c.CallHandlerObjectID = "
                       "r.DestinationObjectID WHERE c.IsPrimary = 0 GROUP BY r.DestinationObjectID ORDER BY COUNT(*) DESC "
                       "LIMIT 1"));
    auto *dependency = new frmDependency(ctx, &owner);
    report.measure("dependency_report", [&] {
        dependency->iObjectType = 3;
        dependency->strObjectID = mostReferenced;
        dependency->Form_Load();
        dependency->show();
        QCoreApplication::processEvents();
    });
    std::fprintf(stderr, "%s: dependency report of %s: %lld lines\n", who, qPrintable(mostReferenced),
                 static_cast<long long>(dependency->reportText().count(QStringLiteral("\r\n"))));

    // 5,000 numbers from the first call handler extension on, many of them in use.
    const qint64 first = files.firstValue(QStringLiteral("SELECT MIN(DTMFAccessID) FROM DTMFAccessID WHERE "
                                                         "ParentObjectIDType = 3")).toLongLong();
    auto *extensions = new frmAvailableExtensions(ctx, &owner);
    extensions->findChild<QLineEdit *>(QStringLiteral("txtStartRange"))->setText(QString::number(first));
    extensions->findChild<QLineEdit *>(QStringLiteral("txtEndRange"))->setText(QString::number(first + 4999));
    report.measure("free_extensions_5000", [&] {
        extensions->findChild<QPushButton *>(QStringLiteral("cmdSearch"))->click();
        QCoreApplication::processEvents();
    });

    auto *transfer = new frmFindTransferString(ctx, &owner);
    transfer->findChild<QLineEdit *>(QStringLiteral("txtTransferString"))->setText(QStringLiteral("12"));
    transfer->findChild<QRadioButton *>(QStringLiteral("optPartialMatch"))->setChecked(true);
    report.measure("transfer_string_partial", [&] {
        transfer->findChild<QPushButton *>(QStringLiteral("cmdSearch"))->click();
        QCoreApplication::processEvents();
    });
    if (auto *matches = transfer->findChild<QPlainTextEdit *>(QStringLiteral("txtMatches")))
        std::fprintf(stderr, "%s: transfer string \"12\": %lld rules\n", who,
                     static_cast<long long>(matches->toPlainText().count(QStringLiteral("with transfer string="))));

    report.measure("schedules_window", [&] {
        auto *schedules = new frmSchedules(ctx, &owner);
        schedules->Form_Load();
        schedules->show();
        QCoreApplication::processEvents();
    });
}

// The action popup's change of one key, on the object that stands in the
// fewest open rows from a thousand up after Expand all: the write as the
// popup's command makes it, then the refresh of the tree timed until the view
// has painted.
void measureActionRefresh(Reporter &report, ServerFiles &files, AppContext &ctx, frmMain &window, const char *who)
{
    RoutingTree &tree = window.routingTree();
    platform::OutlineModel &model = tree.ATTree();
    QHash<QString, int> openRows;
    QHash<QString, platform::OutlineNode *> firstRow;
    for (platform::OutlineNode *row = model.root(); row; row = model.nextInTree(row)) {
        const qint16 type = tree.nodeType(row);
        if ((type == NodeCallHandler || type == NodeSubscriber) && row->isExpanded() && tree.isOpened(row)) {
            const QString id = tree.objectId(row);
            if (openRows[id]++ == 0)
                firstRow.insert(id, row);
        }
    }
    // The fewest open rows from a thousand up, else the most there are.
    QString chosen;
    const auto better = [&](int count, int than) {
        return than < 1000 ? count > than : count >= 1000 && count < than;
    };
    for (auto it = openRows.cbegin(); it != openRows.cend(); ++it)
        if (chosen.isEmpty() || better(*it, openRows.value(chosen)))
            chosen = it.key();
    if (chosen.isEmpty())
        return;
    window.findChild<platform::OutlineTreeView *>(QStringLiteral("ATTree"))->selectNode(firstRow.value(chosen));
    QCoreApplication::processEvents();
    const SelectedObject owner = window.CurrentlySelectedObject();

    platform::Recordset key = files.open(QStringLiteral("SELECT MenuEntryObjectID, Action FROM vw_MenuEntry WHERE "
                                                        "ParentObjectID = ? AND Alias = '9'"),
                                         {normalizedObjectId(owner.ObjectID)});
    if (key.RecordCount() != 1)
        return;
    key.MoveFirst();
    RoutingSlot slot{owner, TargetMenuEntry, 0, key.text(QStringLiteral("MenuEntryObjectID")), QStringLiteral("9"), -1, false};
    const qint16 action = key.field(QStringLiteral("Action")).toInt() == 1 ? 0 : 1;
    if (!SetUserAction(ctx, slot, action, QString(), QString(), 0).written)
        return;
    report.measure("action_refresh", [&] {
        window.RefreshTreeRowsForObject(owner.ObjectID);
        QCoreApplication::processEvents();
    });
    std::fprintf(stderr, "%s: %d open rows of \"%s\" refreshed (%d rows in the tree)\n", who,
                 openRows.value(chosen), qPrintable(owner.Alias), model.totalRows());
}

// How the measuring process reaches the server's files: in this process, or
// as SQL Server over the network (FreeTDS to the TDS stand-in, each of its
// replies held back `latencyMs`).
struct Way {
    bool tds = false;
    int latencyMs = 0;
};

// The program's context on a server made beforehand by another process (so
// that the peak memory is the program's own), its data in a temporary folder.
struct MeasuredServer {
    QTemporaryDir dir;
    std::unique_ptr<test::tds::TdsServer> tds;
    AppContext ctx{embedded::standInProcedures()};
    QString folder;
    bool load(const QString &registryFile, const Way &way)
    {
        platform::AppPaths::overrideDataFolder(dir.path());
        folder = QFileInfo(registryFile).absolutePath();
        QString error;
        QString registry = registryFile;
        if (way.tds && !serveOverTds(registry, way, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return false;
        }
        if (ctx.loadRegistry(registry, &error))
            return true;
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    // What the server has been asked over the network so far; none in this process.
    std::function<int()> requests() const
    {
        if (!tds)
            return {};
        return [server = tds.get()] { return server->requestCount(); };
    }

private:
    // The stand-in serves the server's two files; a profile of their own
    // (beside the export) names them as the program names a SQL Server.
    bool serveOverTds(QString &registry, const Way &way, QString *error)
    {
        tds = std::make_unique<test::tds::TdsServer>();
        if (!tds->isListening()) {
            *error = QStringLiteral("The TDS stand-in server does not listen: ") + tds->error();
            return false;
        }
        tds->setDatabaseFile(QStringLiteral("TolvaDb"), folder + QStringLiteral("/TolvaDb.sqlite"));
        tds->setDatabaseFile(QStringLiteral("TolvaDirDB"), folder + QStringLiteral("/TolvaDirDB.sqlite"));
        tds->setReplyDelay(way.latencyMs);
        const auto location = [this](const char *database) {
            return QStringLiteral("odbc:Driver=FreeTDS;Server=127.0.0.1;Port=%1;Database=%2;UID=tolva;PWD=tolva;"
                                  "TDS_Version=7.4;ClientCharset=UTF-8")
                .arg(tds->port())
                .arg(QLatin1String(database));
        };
        embedded::SampleOptions options;
        options.mainLocation = location("TolvaDb");
        options.directoryLocation = location("TolvaDirDB");
        // The stand-in makes its ObjectID indexes in the files at the first
        // connection; a server has them already, so that is done before anything is measured.
        platform::ServerProfile served;
        served.mainDatabase = options.mainLocation;
        served.directoryDatabase = options.directoryLocation;
        platform::Database first(served);
        for (const QString &catalog : {QStringLiteral("Initial Catalog=TolvaDb"), QStringLiteral("Initial Catalog=TolvaDirDB")}) {
            platform::DbError failed;
            if (!first.open(catalog, QStringLiteral("SELECT 1 AS Ready"), {}, &failed).isOpen()) {
                *error = QStringLiteral("The TDS stand-in server does not answer: ") + failed.description;
                return false;
            }
        }
        registry = dir.filePath(QStringLiteral("tolva-tds.reg"));
        return embedded::writeRegistryExport(registry, folder, options, error);
    }
};

// The main window started as the user starts it, its messages printed rather than waited for.
bool startWindow(frmMain &window)
{
    platform::Seams::install(std::make_unique<PrintedMessages>());
    if (!window.Form_Load())
        return false;
    window.show();
    QCoreApplication::processEvents();
    return true;
}

// A call handler made as a copy of the root, as Create does it: its twelve
// keys, six greetings (one with a recording to copy), rules, owner and recipient.
void measureCreation(Reporter &report, ServerFiles &files, AppContext &ctx, const char *who)
{
    const QString root =
        files.firstValue(QStringLiteral("SELECT CallHandlerObjectID FROM vw_CallHandler WHERE Alias = 'openinggreetingch'"));
    // The server was written just before by another process that did not wait
    // for the disk; a running server's file is on disk, so the first commit
    // must not pay for flushing the whole generated file.
    ::sync();
    std::optional<CreatedHandler> made;
    report.measure("create_call_handler",
                   [&] { made = createCallHandler(ctx, {root, QStringLiteral("Bench Copy"), QString()}); });
    if (!made)
        std::fprintf(stderr, "%s: the call handler could not be created\n", who);
}

// The first unopened call handler row below the root other than `besides`, in tree order.
platform::OutlineNode *handlerBelowRoot(RoutingTree &tree, const platform::OutlineNode *besides = nullptr)
{
    platform::OutlineNode *root = tree.ATTree().root();
    for (int i = 0; root && i < root->childCount(); ++i) {
        platform::OutlineNode *row = root->child(i);
        if (row != besides && tree.nodeType(row) == NodeCallHandler && tree.isPlaceholder(row->firstChild()))
            return row;
    }
    return nullptr;
}

int runOneSize(const QString &label, const QString &registryFile, const Way &way)
{
    MeasuredServer server;
    if (!server.load(registryFile, way))
        return 1;
    AppContext &ctx = server.ctx;
    QTemporaryDir &dir = server.dir;
    ServerFiles files(server.folder);
    const QByteArray whoText = (label == QLatin1String("sample") ? QStringLiteral("the sample") : label + QStringLiteral(" objects")).toUtf8();
    const char *who = whoText.constData();
    Reporter report(label, ctx.db(), server.requests());

    // The main window as the user starts it, until it shows the tree and the root's page.
    frmMain window(ctx);
    bool started = false;
    report.measure("startup", [&] { started = startWindow(window); });
    if (!started)
        return 1;
    RoutingTree &shownTree = window.routingTree();
    auto *view = window.findChild<platform::OutlineTreeView *>(QStringLiteral("ATTree"));
    // A call handler below the root opened by its arrow (its links read and its page loaded), then another selected.
    platform::OutlineNode *opened = handlerBelowRoot(shownTree);
    if (view && opened)
        report.measure("open_node", [&] {
            view->expand(shownTree.ATTree().indexOf(opened));
            QCoreApplication::processEvents();
        });
    if (platform::OutlineNode *selected = view ? handlerBelowRoot(shownTree, opened) : nullptr)
        report.measure("select_call_handler", [&] {
            view->selectNode(selected);
            QCoreApplication::processEvents();
        });

    {
        // The tree on its own, without the window's views: built, one node
        // opened, and (in this process) every node opened one after the other.
        RoutingTree tree(ctx);
        platform::OutlineModel &model = tree.ATTree();
        report.measure("first_tree", [&] {
            QString root;
            tree.StartNewTree(root, 0);
        });
        report.measure("open_one_node", [&] {
            if (platform::OutlineNode *row = handlerBelowRoot(tree))
                tree.openRow(row);
        });
        // Over the network that takes tens of thousands of round trips; no user waits for them.
        int opened = 0;
        bool stopped = false;
        if (!way.tds)
            report.measure("open_all_reachable", [&] {
                // As a user would: one unopened node after the other, in tree order,
                // until the tree holds as many rows as "Expand all nodes" allows.
                for (platform::OutlineNode *row = model.root(); row; row = model.nextInTree(row)) {
                    const qint16 type = tree.nodeType(row);
                    if ((type == NodeCallHandler || type == NodeSubscriber) && tree.isPlaceholder(row->firstChild())) {
                        if (model.totalRows() >= tree.expandAllRowLimit()) {
                            stopped = true;
                            break;
                        }
                        tree.openRow(row);
                        ++opened;
                    }
                }
            });
        if (!way.tds)
            std::fprintf(stderr, "%s: %d nodes opened, %d rows in the tree%s\n", who, opened, model.totalRows(),
                         stopped ? " (stopped at the row limit)" : "");
    }

    // The grid view, each kind chosen as the user chooses it: the list is
    // read and shown and its first row's object loaded.
    auto *kinds = window.findChild<QComboBox *>(QStringLiteral("cmbShowObjectType"));
    static constexpr const char *kGridRows[] = {"grid_call_handlers", "grid_subscribers", "grid_interview_handlers",
                                                "grid_directory_handlers"};
    if (kinds)
        kinds->setCurrentIndex(-1); // start-up chose the first kind already
    for (int kind = 0; kinds && kind < int(std::size(kGridRows)); ++kind) {
        report.measure(kGridRows[kind], [&] {
            kinds->setCurrentIndex(kind);
            QCoreApplication::processEvents();
        });
        std::fprintf(stderr, "%s: %d rows in %s\n", who, window.gridModel().rowCount(), kGridRows[kind]);
    }

    // A call handler renamed in place, as leaving its name box does: the
    // write, its audit line and the grid view listed again.
    if (kinds) {
        kinds->setCurrentIndex(0);
        QCoreApplication::processEvents();
        if (auto *name = window.findChild<platform::ValidatingLineEdit *>(QStringLiteral("txtHandlerProfileDisplayName")))
            report.measure("rename_call_handler", [&] {
                name->setText(name->text() + QStringLiteral(" Renamed"));
                name->validate();
                QCoreApplication::processEvents();
            });
    }

    measurePickerSearch(report, window, who);

    // Expand all and the export.
    platform::OutlineModel &shown = shownTree.ATTree();
    const int rowsBefore = shown.totalRows();
    const double heapBefore = heapInUse();
    report.measure("expand_all", [&] {
        window.findChild<QAction *>(QStringLiteral("ExpandAllNodes"))->trigger();
        // Until the view has laid the rows out and painted them.
        QCoreApplication::processEvents();
    });
    // What the rows cost: the model's, the view's and what the tree keeps of what it read.
    const double grown = heapInUse() - heapBefore;
    std::fprintf(stderr, "%s: %d rows after expand all, %.0f bytes a row (the heap grew by %.1f MB)\n",
                 who, shown.totalRows(), grown / std::max(1, shown.totalRows() - rowsBefore), grown / 1048576.0);
    report.measure("export", [&] {
        QString error;
        if (!WriteTreeExportFile(shown, dir.filePath(QStringLiteral("tree.txt")), QDateTime::currentDateTime(), &error))
            std::fprintf(stderr, "export failed: %s\n", qPrintable(error));
    });
    measureActionRefresh(report, files, ctx, window, who);
    measureReportsAndTools(report, files, ctx, window, who);
    measureCreation(report, files, ctx, who);
    return 0;
}

// On a server of deep chains: "Expand all nodes" until it stops at its row
// limit, then the deepest node it left unopened opened as a user opens it (its
// arrow), the row selected beforehand so that its page has loaded already.
int runDeepServer(const QString &label, const QString &registryFile, const Way &way)
{
    MeasuredServer server;
    if (!server.load(registryFile, way))
        return 1;
    const QByteArray whoText = (label + QStringLiteral(" objects")).toUtf8();
    const char *who = whoText.constData();
    frmMain window(server.ctx);
    if (!startWindow(window))
        return 1;
    Reporter report(label, server.ctx.db(), server.requests());
    RoutingTree &tree = window.routingTree();
    platform::OutlineModel &model = tree.ATTree();
    auto *view = window.findChild<platform::OutlineTreeView *>(QStringLiteral("ATTree"));

    report.measure("expand_all_deep", [&] {
        window.findChild<QAction *>(QStringLiteral("ExpandAllNodes"))->trigger();
        QCoreApplication::processEvents();
    });
    platform::OutlineNode *deepest = nullptr;
    for (platform::OutlineNode *row = model.root(); row; row = model.nextInTree(row)) {
        if (row->childCount() > 0 && tree.isPlaceholder(row->firstChild()) && (!deepest || row->level() > deepest->level()))
            deepest = row;
    }
    std::fprintf(stderr, "%s (deep): %d rows after expand all, the deepest unopened node at level %d\n", who,
                 model.totalRows(), deepest ? deepest->level() : -1);
    if (!deepest || !view)
        return 0;
    view->selectNode(deepest);
    QCoreApplication::processEvents();
    report.measure("open_one_node_deep", [&] {
        view->expand(model.indexOf(deepest));
        QCoreApplication::processEvents();
    });
    std::fprintf(stderr, "%s (deep): %d rows after opening it\n", who, model.totalRows());
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quillor-bench"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Times Quillor's operations on the sample and on generated servers."));
    parser.addHelpOption();
    const QCommandLineOption sizes(QStringLiteral("sizes"),
                                   QStringLiteral("Comma-separated server sizes in objects; \"sample\" is the sample server."),
                                   QStringLiteral("LIST"), QStringLiteral("sample,2000,20000"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Seed of the generated servers."),
                                  QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption serverWay(QStringLiteral("server"),
                                       QStringLiteral("How the server is reached: \"sqlite\" (its files, in this process) "
                                                      "or \"tds\" (as SQL Server, through FreeTDS to the TDS stand-in)."),
                                       QStringLiteral("WAY"), QStringLiteral("sqlite"));
    const QCommandLineOption latency(QStringLiteral("latency-ms"),
                                     QStringLiteral("With --server tds: each reply of the server held back this long "
                                                    "(a round trip of that many milliseconds)."),
                                     QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption one(QStringLiteral("one-size"), QStringLiteral("Measure a single server in this process."),
                                 QStringLiteral("LABEL"));
    const QCommandLineOption registry(QStringLiteral("registry"),
                                      QStringLiteral("The registry export of the server to measure (with --one-size)."),
                                      QStringLiteral("FILE"));
    const QCommandLineOption deep(QStringLiteral("deep"),
                                  QStringLiteral("The server (with --one-size) is one of deep chains."));
    parser.addOptions({sizes, seed, serverWay, latency, one, registry, deep});
    parser.process(app);

    Way way;
    const QString wayName = parser.value(serverWay);
    if (wayName != QLatin1String("sqlite") && wayName != QLatin1String("tds")) {
        std::fprintf(stderr, "--server takes \"sqlite\" or \"tds\", not \"%s\"\n", qPrintable(wayName));
        return 2;
    }
    way.tds = wayName == QLatin1String("tds");
    bool latencyOk = false;
    way.latencyMs = parser.value(latency).toInt(&latencyOk);
    if (!latencyOk || way.latencyMs < 0) {
        std::fprintf(stderr, "--latency-ms takes a whole number of milliseconds, not \"%s\"\n",
                     qPrintable(parser.value(latency)));
        return 2;
    }

    const quint32 seedValue = parser.value(seed).toUInt();
    if (parser.isSet(one)) {
        const QString label = parser.value(one);
        return parser.isSet(deep) ? runDeepServer(label, parser.value(registry), way)
                                  : runOneSize(label, parser.value(registry), way);
    }

    std::printf("objects\toperation\tseconds\tqueries\trequests\tpeak_mb\n");
    std::fflush(stdout);
    int status = 0;
    const QStringList list = parser.value(sizes).split(u',', Qt::SkipEmptyParts);
    for (const QString &entry : list) {
        const QString size = entry.trimmed();
        const bool sample = size == QLatin1String("sample");
        const int objects = sample ? 0 : size.toInt();
        // The usual server, then one of deep chains (each measured in a process of its own).
        for (const int chainLength : {0, kDeepChainLength}) {
            if (sample && chainLength)
                continue;
            QTemporaryDir dir;
            QString error;
            QElapsedTimer made;
            made.start();
            const QString folder = dir.filePath(QStringLiteral("server"));
            const auto built = sample ? embedded::createSampleServer(folder, {}, &error)
                                      : embedded::createGeneratedServer(folder, {objects, seedValue, chainLength}, &error);
            if (!built) {
                std::fprintf(stderr, "cannot make the server of %s: %s\n", qPrintable(size), qPrintable(error));
                status = 1;
                continue;
            }
            std::fprintf(stderr, "made %s%s in %.2f s\n", sample ? "the sample" : qPrintable(size + QStringLiteral(" objects")),
                         chainLength ? " (deep)" : "", double(made.elapsed()) / 1000.0);
            QStringList arguments{QStringLiteral("--one-size"), sample ? size : QString::number(objects),
                                  QStringLiteral("--registry"), built->registryFile,
                                  QStringLiteral("--server"), wayName,
                                  QStringLiteral("--latency-ms"), QString::number(way.latencyMs)};
            if (chainLength)
                arguments << QStringLiteral("--deep");
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(QCoreApplication::applicationFilePath(), arguments);
            if (!child.waitForFinished(-1) || child.exitCode() != 0)
                status = 1;
            const QByteArray out = child.readAllStandardOutput();
            std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
            std::fflush(stdout);
        }
    }
    return status;
}
