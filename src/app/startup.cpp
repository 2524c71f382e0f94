#include "app/startup.h"

#include "common/appcontext.h"
#include "embedded/sampleserver.h"
#include "mainwindow/frmmain.h"
#include "platform/seams.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QLockFile>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace quillor {

namespace {

QCommandLineOption registryOption()
{
    return {QStringLiteral("registry"), QStringLiteral("The registry export of the server to administer."),
            QStringLiteral("FILE")};
}

QCommandLineOption demoOption()
{
    return {QStringLiteral("demo"), QStringLiteral("Open a fresh copy of the embedded sample server.")};
}

void addOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral("Administration of the call routing of a voicemail server."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(registryOption());
    parser.addOption(demoOption());
}

// True when something listens on the local X server's socket of display
// `number`: the abstract one Linux servers offer, else the file.
bool localXServerAnswers(const QString &number)
{
    const QByteArray path = "/tmp/.X11-unix/X" + number.toLatin1();
    for (const bool abstract : {true, false}) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::size_t offset = abstract ? 1 : 0; // an abstract name starts with a NUL
        if (offset + std::size_t(path.size()) >= sizeof address.sun_path)
            return false;
        std::copy(path.cbegin(), path.cend(), address.sun_path + offset);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return true; // nothing to judge by: Qt will tell
        const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + offset + std::size_t(path.size()));
        const bool connected = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), length) == 0;
        ::close(fd);
        if (connected)
            return true;
    }
    return false;
}

// Set by whoever starts the program on a display nobody watches (scripts/demo
// on its xvfb-run fallback): an X server does not say whether it is Xvfb.
const char *const kVirtualDisplayVariable = "QUILLOR_VIRTUAL_DISPLAY";

// Whether someone can see and close a message box: not on Qt's platforms
// without a screen, nor on a display said to be virtual.
bool boxesCanBeAnswered()
{
    const QString platform = QGuiApplication::platformName();
    return platform != u"offscreen" && platform != u"minimal"
           && qEnvironmentVariableIntValue(kVirtualDisplayVariable) == 0;
}

// Where nobody can answer a box, the boxes of the start-up are printed
// instead, each as a line, and take the answer that changes nothing: a
// refusal then ends the program with its line instead of waiting for ever.
class PrintedMessages final : public platform::MessageBoxSeam {
public:
    platform::MsgAnswer show(QWidget *, const QString &text, platform::MsgButtons buttons, const QString &,
                             platform::MsgIcon) override
    {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        std::fflush(stderr);
        switch (buttons) {
        case platform::MsgButtons::Ok: return platform::MsgAnswer::Ok;
        case platform::MsgButtons::YesNo: return platform::MsgAnswer::No;
        case platform::MsgButtons::OkCancel:
        case platform::MsgButtons::YesNoCancel:
        case platform::MsgButtons::RetryCancel: break;
        }
        return platform::MsgAnswer::Cancel;
    }
};

const QString kPortKey = QStringLiteral("SOFTWARE\\Quillor\\Port");

// The README's example of the port's key ("Pointing Quillor at a real server").
QString examplePortKey()
{
    return QStringLiteral(
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillor\\Port]\n"
        "\"MainDatabase\"=\"odbc:Driver=FreeTDS;Server=tolva.example.com;Port=1433;Database=TolvaDb;UID=admin;"
        "PWD=secret;TDS_Version=7.4;ClientCharset=UTF-8\"\n"
        "\"DirectoryDatabase\"=\"odbc:Driver=FreeTDS;Server=tolva.example.com;Port=1433;Database=TolvaDirDB;"
        "UID=admin;PWD=secret;TDS_Version=7.4;ClientCharset=UTF-8\"");
}

// A location as it may be shown: the password of a connection string is not.
QString shownLocation(const QString &location)
{
    static const QRegularExpression password(QStringLiteral("((?:^|;)\\s*(?:PWD|Password)\\s*=)[^;]*"),
                                             QRegularExpression::CaseInsensitiveOption);
    QString shown = location;
    return shown.replace(password, QStringLiteral("\\1***"));
}

} // namespace

QString serverProfileProblem(AppContext &ctx, const QString &profileFile)
{
    const QString howTo = QStringLiteral("\n\nAdd it to the file as the README shows under \"Pointing Quillor at a real "
                                         "server\", for example:\n\n")
                          + examplePortKey();
    const platform::Registry &registry = ctx.registry();
    if (!registry.keyExists(platform::RootKey::LocalMachine, kPortKey))
        return QStringLiteral("The server profile %1 does not say where the server's databases are: it has no key "
                              "HKEY_LOCAL_MACHINE\\%2.")
                   .arg(profileFile, kPortKey)
               + howTo;
    const QString location = ctx.db().profile().mainDatabase;
    if (location.isEmpty())
        return QStringLiteral("The server profile %1 names no main database: its key HKEY_LOCAL_MACHINE\\%2 has no "
                              "text value \"MainDatabase\".")
                   .arg(profileFile, kPortKey)
               + howTo;
    // Reading one of the server's own views tells a database that answers from
    // an empty file or another database.
    platform::DbError error;
    const platform::Recordset probe =
        ctx.db().open(frmMain::connectionStringFor(QString()),
                      QStringLiteral("SELECT CallHandlerObjectID FROM vw_CallHandler WHERE 1 = 0"), {}, &error);
    if (probe.isOpen())
        return {};
    return QStringLiteral("Quillor cannot open the server's main database.\n\nServer profile: %1\nMainDatabase: "
                          "%2\nReason: %3")
        .arg(profileFile, shownLocation(location), error.description);
}

ProfileChoice chooseProfile(const QStringList &arguments, const QString &environmentRegistry)
{
    QCommandLineParser parser;
    parser.addOption(registryOption());
    parser.addOption(demoOption());
    parser.parse(arguments);
    ProfileChoice choice;
    choice.demo = parser.isSet(QStringLiteral("demo"));
    if (parser.isSet(QStringLiteral("registry")))
        choice.registryFile = parser.value(QStringLiteral("registry"));
    else
        choice.registryFile = environmentRegistry;
    return choice;
}

bool prepareContext(AppContext &ctx, ProfileChoice choice, const QString &demoFolder,
                    std::unique_ptr<QLockFile> *demoLock, bool boxes)
{
    // One message, then the end: a window on a server it cannot read would
    // only pile up unrelated messages and look usable while it is not. The
    // terminal hears of it too, and alone where a box would wait for ever.
    const auto fail = [boxes](const QString &message) {
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        if (boxes)
            platform::msgBox(message);
        return false;
    };
    if (choice.demo) {
        // A demo rebuilds its copy of the sample; another demo still working on
        // that copy would go on with a connection on deleted files.
        QDir().mkpath(demoFolder);
        auto lock = std::make_unique<QLockFile>(demoFolder + QStringLiteral("/quillor-demo.lock"));
        lock->setStaleLockTime(0); // a demo may run for days; only a lock whose process is gone is stale
        if (!lock->tryLock(0)) {
            if (lock->error() == QLockFile::LockFailedError)
                return fail(QStringLiteral("A demo of Quillor is already running on the sample server in %1. Go on "
                                           "in its window, or close it and start the demo again.")
                                .arg(demoFolder));
            return fail(QStringLiteral("The sample server could not be created in %1: its lock file %2 cannot be "
                                       "written.")
                            .arg(demoFolder, lock->fileName()));
        }
        if (demoLock)
            *demoLock = std::move(lock);
        QString error;
        const auto server = embedded::createSampleServer(demoFolder, {}, &error);
        if (!server)
            return fail(QStringLiteral("The sample server could not be created in %1: %2").arg(demoFolder, error));
        choice.registryFile = server->registryFile;
    }
    if (choice.registryFile.isEmpty())
        return fail(QStringLiteral("No server profile was given. Start Quillor with --registry FILE (a registry "
                                   "export of the server), set TOLVA_REGISTRY, or use --demo for the sample server."));
    QString error;
    if (!ctx.loadRegistry(choice.registryFile, &error))
        return fail(error);
    if (const QString problem = serverProfileProblem(ctx, choice.registryFile); !problem.isEmpty())
        return fail(problem);
    return true;
}

QString displayProblem(const QStringList &arguments, const std::function<QString(const char *)> &environment)
{
    if (!environment("QT_QPA_PLATFORM").isEmpty()
        || std::any_of(arguments.cbegin() + std::min<qsizetype>(1, arguments.size()), arguments.cend(),
                       [](const QString &a) { return a == u"-platform" || a == u"--platform"; }))
        return {};
    const QString howTo = QStringLiteral(" Over SSH, connect with X forwarding (ssh -X) or start it on a virtual "
                                         "display: %1=1 xvfb-run -a quillor --demo")
                              .arg(QLatin1String(kVirtualDisplayVariable));
    const QString display = environment("DISPLAY");
    if (display.isEmpty()) {
        if (!environment("WAYLAND_DISPLAY").isEmpty())
            return {};
        return QStringLiteral("Quillor needs a graphical display, and neither DISPLAY nor WAYLAND_DISPLAY is set.")
               + howTo;
    }
    if (!environment("WAYLAND_DISPLAY").isEmpty())
        return {};
    // Only a display of this machine is tried here; a remote one (X
    // forwarding's "localhost:10.0") is left to Qt.
    static const QRegularExpression local(QStringLiteral("^(?:unix)?:(\\d+)(?:\\.\\d+)?$"));
    const QRegularExpressionMatch match = local.match(display);
    if (!match.hasMatch() || localXServerAnswers(match.captured(1)))
        return {};
    return QStringLiteral("Quillor needs a graphical display, and the X display \"%1\" that DISPLAY names cannot be "
                          "opened.")
               .arg(display)
           + howTo;
}

int runApplication(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("Quillor"));
    QCoreApplication::setApplicationVersion(
        QStringLiteral("%1.%2.%3").arg(QUILLOR_VERSION_MAJOR).arg(QUILLOR_VERSION_MINOR).arg(QUILLOR_VERSION_PATCH));

    // Qt ends the process with an abort when it cannot open a display, so
    // whatever needs none is answered before the GUI exists: the help, the
    // version, and why there is no window.
    {
        QStringList arguments;
        for (int i = 0; i < argc; ++i)
            arguments << QString::fromLocal8Bit(argv[i]);
        QCoreApplication early(argc, argv);
        QCommandLineParser parser;
        addOptions(parser);
        // The GUI's own options (-platform and the like) are unknown here; the
        // full check follows once the GUI has taken them.
        parser.parse(arguments);
        const QString problem = displayProblem(arguments, [](const char *name) { return qEnvironmentVariable(name); });
        // --help-all lists the GUI's options too, which only the GUI knows:
        // without a display it gives the program's own.
        if (parser.isSet(QStringLiteral("help")) || (parser.isSet(QStringLiteral("help-all")) && !problem.isEmpty()))
            parser.showHelp(0);
        if (parser.isSet(QStringLiteral("version")))
            parser.showVersion();
        if (!problem.isEmpty()) {
            std::fprintf(stderr, "%s\n", problem.toLocal8Bit().constData());
            return 1;
        }
    }

    QApplication app(argc, argv);
    QCommandLineParser parser;
    addOptions(parser);
    parser.process(app);

    const ProfileChoice choice = chooseProfile(QApplication::arguments(), qEnvironmentVariable("TOLVA_REGISTRY"));
    AppContext ctx(embedded::standInProcedures());
    std::unique_ptr<QLockFile> demoLock;
    if (!prepareContext(ctx, choice,
                        QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation)
                            + QStringLiteral("/demo-server"),
                        &demoLock, boxesCanBeAnswered()))
        return 1;

    frmMain window(ctx);
    std::unique_ptr<platform::MessageBoxSeam> boxes;
    if (!boxesCanBeAnswered())
        boxes = platform::Seams::install(std::make_unique<PrintedMessages>());
    const bool loaded = window.Form_Load();
    if (boxes)
        platform::Seams::install(std::move(boxes));
    if (!loaded)
        return 1;
    window.show();
    return QApplication::exec();
}

} // namespace quillor
