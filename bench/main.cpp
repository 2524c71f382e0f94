// quillor-bench: times the program's operations on generated servers of
// several sizes and prints one tab-separated line per operation.
//
// Each size runs in a child process of its own, so that its peak memory is
// its own and not the largest size's so far.
#include "common/appcontext.h"
#include "common/tolvaversion.h"
#include "embedded/generator.h"
#include "embedded/sampleserver.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/objectgrid.h"
#include "mainwindow/routingtree.h"
#include "mainwindow/treeexport.h"
#include "pickers/frmpickers.h"
#include "pickers/pickerregistry.h"
#include "platform/apppaths.h"
#include "platform/seams.h"
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

using namespace quillor;

namespace {

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

// Measures the program on a server made beforehand by another process, so
// that the peak memory is the program's own.
int runOneSize(int objects, const QString &registryFile)
{
    QTemporaryDir dir;
    platform::AppPaths::overrideDataFolder(dir.path());
    QString error;
    AppContext ctx(embedded::standInProcedures());
    if (!ctx.loadRegistry(registryFile, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    ctx.state().gConnectionString = frmMain::connectionStringFor(ctx.workstation().ComputerName());
    ctx.state().gVersion = getVersion(ctx);

    RoutingTree tree(ctx);
    platform::OutlineModel &model = tree.ATTree();
    Reporter report(objects, ctx.db());

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
    report.measure("open_all_reachable", [&] {
        // As a user would: one unopened node after the other, in tree order.
        for (platform::OutlineNode *row = model.root(); row; row = model.nextInTree(row)) {
            const qint16 type = tree.nodeType(row);
            if ((type == NodeCallHandler || type == NodeSubscriber) && tree.isPlaceholder(row->firstChild())) {
                tree.openRow(row);
                ++opened;
            }
        }
    });
    std::fprintf(stderr, "%d objects: %d nodes opened, %d rows in the tree\n", objects, opened, model.totalRows());

    model.clear();

    // The rest as the user runs it: in the main window, whose views follow
    // every row. Messages are printed, never waited for.
    platform::Seams::install(std::make_unique<PrintedMessages>());
    frmMain window(ctx);
    if (!window.Form_Load())
        return 1;
    window.show();
    QCoreApplication::processEvents();

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

    measurePickerSearch(report, window, objects);

    // Expand all and the export.
    platform::OutlineModel &shown = window.routingTree().ATTree();
    report.measure("expand_all", [&] {
        window.findChild<QAction *>(QStringLiteral("ExpandAllNodes"))->trigger();
        // Until the view has laid the rows out and painted them.
        QCoreApplication::processEvents();
    });
    std::fprintf(stderr, "%d objects: %d rows after expand all\n", objects, shown.totalRows());
    report.measure("export", [&] {
        QString error;
        if (!WriteTreeExportFile(shown, dir.filePath(QStringLiteral("tree.txt")), QDateTime::currentDateTime(), &error))
            std::fprintf(stderr, "export failed: %s\n", qPrintable(error));
    });
    measureReportsAndTools(report, ctx, window, objects);
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
    parser.addOption(sizes);
    parser.addOption(seed);
    parser.addOption(one);
    parser.addOption(server);
    parser.process(app);

    const quint32 seedValue = parser.value(seed).toUInt();
    if (parser.isSet(one))
        return runOneSize(parser.value(one).toInt(), parser.value(server));

    std::printf("objects\toperation\tseconds\tqueries\tpeak_mb\n");
    std::fflush(stdout);
    int status = 0;
    const QStringList list = parser.value(sizes).split(u',', Qt::SkipEmptyParts);
    for (const QString &size : list) {
        const int objects = size.trimmed().toInt();
        QTemporaryDir dir;
        QString error;
        QElapsedTimer made;
        made.start();
        const auto generated =
            embedded::createGeneratedServer(dir.filePath(QStringLiteral("server")), {objects, seedValue}, &error);
        if (!generated) {
            std::fprintf(stderr, "cannot generate a server of %d objects: %s\n", objects, qPrintable(error));
            status = 1;
            continue;
        }
        std::fprintf(stderr, "generated %d objects in %.2f s\n", objects, double(made.elapsed()) / 1000.0);
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--one-size"), QString::number(objects), QStringLiteral("--server"), generated->registryFile});
        if (!child.waitForFinished(-1) || child.exitCode() != 0)
            status = 1;
        const QByteArray out = child.readAllStandardOutput();
        std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
        std::fflush(stdout);
    }
    return status;
}
