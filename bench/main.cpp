// quillor-bench: times the program's operations on generated servers of
// several sizes and prints one tab-separated line per operation.
//
// Each size runs in a child process of its own, so that its peak memory is
// its own and not the largest size's so far.
#include "actions/setuseraction.h"
#include "common/appcontext.h"
#include "common/tolvaversion.h"
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

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
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
    Reporter(int objects, platform::Database &db) : m_objects(objects), m_db(db) {}
    // Runs one operation and prints its line.
    template <typename F> void measure(const char *operation, F &&work)
    {
        const quint64 queries = m_db.queryCount();
        QElapsedTimer timer;
        timer.start();
        work();
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        std::printf("%d\t%s\t%.4f\t%llu\t%.1f\n", m_objects, operation, seconds,
                    static_cast<unsigned long long>(m_db.queryCount() - queries), peakMegabytes());
        std::fflush(stdout);
    }

private:
    int m_objects;
    platform::Database &m_db;
};

// The subscriber picker as the user runs it: every subscriber searched for
// ("*"), until the grid has laid out and painted its rows.
void measurePickerSearch(Reporter &report, frmMain &window, int objects)
{
    frmSubscriberSearch &picker = window.pickers().subscriberSearch();
    picker.show();
    QCoreApplication::processEvents();
    picker.findChild<QLineEdit *>(QStringLiteral("txtSearchString"))->setText(QStringLiteral("*"));
    report.measure("picker_subscribers", [&] {
        picker.findChild<QPushButton *>(QStringLiteral("cmdSearch"))->click();
        QCoreApplication::processEvents();
    });
    std::fprintf(stderr, "%d objects: %d rows in the subscriber picker\n", objects, picker.results().rowCount());
    picker.reject();
}

// The first value of a query's first row, as text; "" when there is none.
QString firstValue(AppContext &ctx, const QString &sql)
{
    const platform::Recordset rs = ctx.db().open(ctx.state().gConnectionString, sql);
    return rs.RecordCount() > 0 ? rs.value(0, 0).toString() : QString();
}

// The report and tool windows, each used as the administrator uses it.
void measureReportsAndTools(Reporter &report, AppContext &ctx, QWidget &owner, int objects)
{
    // The call handler that most keys and greetings lead to.
    const QString mostReferenced = firstValue(ctx,
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
    std::fprintf(stderr, "%d objects: dependency report of %s: %lld lines\n", objects, qPrintable(mostReferenced),
                 static_cast<long long>(dependency->reportText().count(QStringLiteral("\r\n"))));

    // 5,000 numbers from the first call handler extension on, many of them in use.
    const qint64 first = firstValue(ctx, QStringLiteral("SELECT MIN(DTMFAccessID) FROM DTMFAccessID WHERE "
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
        std::fprintf(stderr, "%d objects: transfer string \"12\": %lld rules\n", objects,
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
void measureActionRefresh(Reporter &report, AppContext &ctx, frmMain &window, int objects)
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

    platform::Recordset key = ctx.db().open(ctx.state().gConnectionString,
                                            QStringLiteral("SELECT MenuEntryObjectID, Action FROM vw_MenuEntry WHERE "
                                                           "ParentObjectID = ? AND Alias = '9'"),
                                            {owner.ObjectID});
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
    std::fprintf(stderr, "%d objects: %d open rows of \"%s\" refreshed (%d rows in the tree)\n", objects,
                 openRows.value(chosen), qPrintable(owner.Alias), model.totalRows());
}

// The program's context on a server made beforehand by another process (so
// that the peak memory is the program's own), its data in a temporary folder.
struct MeasuredServer {
    QTemporaryDir dir;
    AppContext ctx{embedded::standInProcedures()};
    bool load(const QString &registryFile)
    {
        platform::AppPaths::overrideDataFolder(dir.path());
        QString error;
        if (ctx.loadRegistry(registryFile, &error))
            return true;
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
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
void measureCreation(Reporter &report, AppContext &ctx, int objects)
{
    const QString root =
        firstValue(ctx, QStringLiteral("SELECT CallHandlerObjectID FROM vw_CallHandler WHERE Alias = 'openinggreetingch'"));
    // The server was written just before by another process that did not wait
    // for the disk; a running server's file is on disk, so the first commit
    // must not pay for flushing the whole generated file.
    ::sync();
    std::optional<CreatedHandler> made;
    report.measure("create_call_handler",
                   [&] { made = createCallHandler(ctx, {root, QStringLiteral("Bench Copy"), QString()}); });
    if (!made)
        std::fprintf(stderr, "%d objects: the call handler could not be created\n", objects);
}

int runOneSize(int objects, const QString &registryFile)
{
    MeasuredServer server;
    if (!server.load(registryFile))
        return 1;
    AppContext &ctx = server.ctx;
    QTemporaryDir &dir = server.dir;
    ctx.state().gConnectionString = frmMain::connectionStringFor(ctx.workstation().ComputerName());
    ctx.state().gVersion = getVersion(ctx);

    Reporter report(objects, ctx.db());
    {
        // This tree and what it read are gone before the main window starts.
        RoutingTree tree(ctx);
        platform::OutlineModel &model = tree.ATTree();
        report.measure("first_tree", [&] {
            QString root;
            tree.StartNewTree(root, 0);
        });
        report.measure("open_one_node", [&] {
            platform::OutlineNode *root = model.root();
            for (int i = 0; root && i < root->childCount(); ++i) {
                platform::OutlineNode *row = root->child(i);
                if (tree.nodeType(row) == NodeCallHandler && tree.isPlaceholder(row->firstChild())) {
                    tree.openRow(row);
                    break;
                }
            }
        });
        int opened = 0;
        bool stopped = false;
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
        std::fprintf(stderr, "%d objects: %d nodes opened, %d rows in the tree%s\n", objects, opened, model.totalRows(),
                     stopped ? " (stopped at the row limit)" : "");
    }

    // The rest as the user runs it: in the main window, whose views follow every row.
    frmMain window(ctx);
    if (!startWindow(window))
        return 1;

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
        std::fprintf(stderr, "%d objects: %d rows in %s\n", objects, window.gridModel().rowCount(), kGridRows[kind]);
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

    measurePickerSearch(report, window, objects);

    // Expand all and the export.
    platform::OutlineModel &shown = window.routingTree().ATTree();
    const int rowsBefore = shown.totalRows();
    const double heapBefore = heapInUse();
    report.measure("expand_all", [&] {
        window.findChild<QAction *>(QStringLiteral("ExpandAllNodes"))->trigger();
        // Until the view has laid the rows out and painted them.
        QCoreApplication::processEvents();
    });
    // What the rows cost: the model's, the view's and what the tree keeps of what it read.
    const double grown = heapInUse() - heapBefore;
    std::fprintf(stderr, "%d objects: %d rows after expand all, %.0f bytes a row (the heap grew by %.1f MB)\n",
                 objects, shown.totalRows(), grown / std::max(1, shown.totalRows() - rowsBefore), grown / 1048576.0);
    report.measure("export", [&] {
        QString error;
        if (!WriteTreeExportFile(shown, dir.filePath(QStringLiteral("tree.txt")), QDateTime::currentDateTime(), &error))
            std::fprintf(stderr, "export failed: %s\n", qPrintable(error));
    });
    measureActionRefresh(report, ctx, window, objects);
    measureReportsAndTools(report, ctx, window, objects);
    measureCreation(report, ctx, objects);
    return 0;
}

// On a server of deep chains: "Expand all nodes" until it stops at its row
// limit, then the deepest node it left unopened opened as a user opens it (its
// arrow), the row selected beforehand so that its page has loaded already.
int runDeepServer(int objects, const QString &registryFile)
{
    MeasuredServer server;
    if (!server.load(registryFile))
        return 1;
    frmMain window(server.ctx);
    if (!startWindow(window))
        return 1;
    Reporter report(objects, server.ctx.db());
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
    std::fprintf(stderr, "%d objects (deep): %d rows after expand all, the deepest unopened node at level %d\n", objects,
                 model.totalRows(), deepest ? deepest->level() : -1);
    if (!deepest || !view)
        return 0;
    view->selectNode(deepest);
    QCoreApplication::processEvents();
    report.measure("open_one_node_deep", [&] {
        view->expand(model.indexOf(deepest));
        QCoreApplication::processEvents();
    });
    std::fprintf(stderr, "%d objects (deep): %d rows after opening it\n", objects, model.totalRows());
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
    parser.setApplicationDescription(QStringLiteral("Times Quillor's operations on generated servers."));
    parser.addHelpOption();
    const QCommandLineOption sizes(QStringLiteral("sizes"), QStringLiteral("Comma-separated server sizes in objects."),
                                   QStringLiteral("LIST"), QStringLiteral("1000,5000,20000"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Seed of the generated servers."),
                                  QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption one(QStringLiteral("one-size"), QStringLiteral("Measure a single size in this process."),
                                 QStringLiteral("N"));
    const QCommandLineOption server(QStringLiteral("server"),
                                    QStringLiteral("The registry export of the server to measure (with --one-size)."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption deep(QStringLiteral("deep"),
                                  QStringLiteral("The server (with --one-size) is one of deep chains."));
    parser.addOption(sizes);
    parser.addOption(seed);
    parser.addOption(one);
    parser.addOption(server);
    parser.addOption(deep);
    parser.process(app);

    const quint32 seedValue = parser.value(seed).toUInt();
    if (parser.isSet(one)) {
        const int objects = parser.value(one).toInt();
        return parser.isSet(deep) ? runDeepServer(objects, parser.value(server)) : runOneSize(objects, parser.value(server));
    }

    std::printf("objects\toperation\tseconds\tqueries\tpeak_mb\n");
    std::fflush(stdout);
    int status = 0;
    const QStringList list = parser.value(sizes).split(u',', Qt::SkipEmptyParts);
    for (const QString &size : list) {
        const int objects = size.trimmed().toInt();
        // The usual server, then one of deep chains (each measured in a process of its own).
        for (const int chainLength : {0, kDeepChainLength}) {
            QTemporaryDir dir;
            QString error;
            QElapsedTimer made;
            made.start();
            const auto generated = embedded::createGeneratedServer(dir.filePath(QStringLiteral("server")),
                                                                   {objects, seedValue, chainLength}, &error);
            if (!generated) {
                std::fprintf(stderr, "cannot generate a server of %d objects: %s\n", objects, qPrintable(error));
                status = 1;
                continue;
            }
            std::fprintf(stderr, "generated %d objects%s in %.2f s\n", objects, chainLength ? " (deep)" : "",
                         double(made.elapsed()) / 1000.0);
            QStringList arguments{QStringLiteral("--one-size"), QString::number(objects), QStringLiteral("--server"),
                                  generated->registryFile};
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
