#include "app/startup.h"

#include "common/appcontext.h"
#include "embedded/sampleserver.h"
#include "mainwindow/frmmain.h"
#include "platform/seams.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

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

// While one lives, what the process writes to its error output (file 2) is
// kept instead of printed: libxcb writes an X server's reason for refusing a
// client straight there, where it would stand apart from the program's one
// line. Only for the start-up's single thread: file 2 is the whole process's.
class HeldErrorOutput {
public:
    HeldErrorOutput()
    {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            return;
        std::fflush(stderr);
        m_saved = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
        if (m_saved < 0 || ::dup2(ends[1], STDERR_FILENO) < 0) {
            if (m_saved >= 0)
                ::close(m_saved);
            m_saved = -1;
            ::close(ends[0]);
        } else {
            m_reading = ends[0];
        }
        ::close(ends[1]);
    }
    ~HeldErrorOutput() { take(); }
    HeldErrorOutput(const HeldErrorOutput &) = delete;
    HeldErrorOutput &operator=(const HeldErrorOutput &) = delete;

    // Puts the error output back and gives what was written meanwhile. A
    // refusal's reason is at most 255 bytes, well within what the pipe holds
    // before a writer would wait.
    QByteArray take()
    {
        QByteArray written;
        if (m_saved < 0)
            return written;
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
        m_saved = -1;
        char buffer[512];
        for (ssize_t n; (n = ::read(m_reading, buffer, sizeof buffer)) > 0;)
            written.append(buffer, n);
        ::close(m_reading);
        return written;
    }

private:
    int m_saved = -1;
    int m_reading = -1;
};

// Connects to the X display `name` as Qt's X platform does. Nothing when the
// display takes the client, whose connection then goes to `kept` when given
// (else it is closed); otherwise the part of the one line that says why not
// (`answered`: something listens on the display's local socket).
std::optional<QString> xClientRefusal(const QString &name, bool answered, std::shared_ptr<void> *kept)
{
    // A server that hangs up before it has read the client's greeting would
    // end the program by SIGPIPE, where its one line is due.
    struct sigaction ignore {}, previous {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &previous);
    HeldErrorOutput held;
    xcb_connection_t *connection = xcb_connect(QFile::encodeName(name).constData(), nullptr);
    const int error = xcb_connection_has_error(connection);
    const QString reason = QString::fromLocal8Bit(held.take()).simplified();
    ::sigaction(SIGPIPE, &previous, nullptr);
    if (error == 0 && kept) {
        *kept = std::shared_ptr<void>(connection, [](void *c) { xcb_disconnect(static_cast<xcb_connection_t *>(c)); });
        return std::nullopt;
    }
    xcb_disconnect(connection);
    switch (error) {
    case 0: return std::nullopt;
    case XCB_CONN_CLOSED_PARSE_ERR: return QStringLiteral("is not the name of a display");
    case XCB_CONN_CLOSED_INVALID_SCREEN: return QStringLiteral("names a screen the display does not have");
    default: break;
    }
    QString why = answered ? QStringLiteral("refused the connection") : QStringLiteral("cannot be opened");
    if (!reason.isEmpty())
        why += QStringLiteral(": ") + reason;
    return why;
}

// A command as it can be pasted into a shell.
QString shellWord(const QString &word)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./:=+-]+$"));
    if (plain.match(word).hasMatch())
        return word;
    return u'\'' + QString(word).replace(u'\'', QStringLiteral("'\\''")) + u'\'';
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

QString displayProblem(const QStringList &arguments, const std::function<QString(const char *)> &environment,
                       std::shared_ptr<void> *connection)
{
    // The GUI's own options, as Qt takes them: with one dash or two; the
    // argument after one, "" when none follows.
    const auto option = [&arguments](QStringView name) -> std::optional<QString> {
        for (qsizetype i = 1; i < arguments.size(); ++i) {
            QStringView argument = arguments[i];
            if (argument.startsWith(u"--"))
                argument = argument.mid(1);
            if (argument.startsWith(u'-') && argument.mid(1) == name)
                return arguments.value(i + 1);
        }
        return std::nullopt;
    };
    if (!environment("QT_QPA_PLATFORM").isEmpty() || option(u"platform"))
        return {};
    // The program as it was started, so that the hint can be pasted as it is.
    const QString program = arguments.isEmpty() ? QStringLiteral("quillor") : shellWord(arguments.first());
    const QString howTo = QStringLiteral(" Over SSH, connect with X forwarding (ssh -X) or start it on a virtual "
                                         "display: %1=1 xvfb-run -a %2 --demo")
                              .arg(QLatin1String(kVirtualDisplayVariable), program);
    if (!environment("WAYLAND_DISPLAY").isEmpty())
        return {};
    // -display overrules DISPLAY for Qt's X connection.
    const QString given = option(u"display").value_or(QString());
    const QString display = given.isEmpty() ? environment("DISPLAY") : given;
    const QString namedBy = given.isEmpty() ? QStringLiteral("DISPLAY") : QStringLiteral("-display");
    if (display.isEmpty())
        return QStringLiteral("Quillor needs a graphical display, and neither DISPLAY nor WAYLAND_DISPLAY is set.")
               + howTo;
    const auto problem = [&](const QString &why) {
        return QStringLiteral("Quillor needs a graphical display, and the X display \"%1\" that %2 names %3.")
                   .arg(display, namedBy, why)
               + howTo;
    };
    // A display of this machine whose socket nothing serves is told at once;
    // one that answers must also take the program as a client, as Qt will ask.
    static const QRegularExpression local(QStringLiteral("^(?:unix)?:(\\d+)(?:\\.\\d+)?$"));
    const QRegularExpressionMatch match = local.match(display);
    if (match.hasMatch() && !localXServerAnswers(match.captured(1)))
        return problem(QStringLiteral("cannot be opened"));
    if (const std::optional<QString> refusal = xClientRefusal(display, match.hasMatch(), connection))
        return problem(*refusal);
    return {};
}

int runApplication(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("Quillor"));
    QCoreApplication::setApplicationVersion(
        QStringLiteral("%1.%2.%3").arg(QUILLOR_VERSION_MAJOR).arg(QUILLOR_VERSION_MINOR).arg(QUILLOR_VERSION_PATCH));

    // Qt ends the process with an abort when it cannot open a display, so
    // whatever needs none is answered before the GUI exists: the help, the
    // version, and why there is no window.
    // The check's connection to the display is held until Qt has made its
    // own: an X server whose last client leaves resets, and turns away who
    // connects meanwhile (Xvfb started for this program alone, as xvfb-run does).
    std::shared_ptr<void> displayChecked;
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
        // Answered before any display is tried: one far away may keep the
        // check waiting for its network's time-out.
        if (parser.isSet(QStringLiteral("help")))
            parser.showHelp(0);
        if (parser.isSet(QStringLiteral("version")))
            parser.showVersion();
        const QString problem =
            displayProblem(arguments, [](const char *name) { return qEnvironmentVariable(name); }, &displayChecked);
        // --help-all lists the GUI's options too, which only the GUI knows:
        // without a display it gives the program's own.
        if (parser.isSet(QStringLiteral("help-all")) && !problem.isEmpty())
            parser.showHelp(0);
        if (!problem.isEmpty()) {
            std::fprintf(stderr, "%s\n", problem.toLocal8Bit().constData());
            return 1;
        }
    }

    QApplication app(argc, argv);
    displayChecked.reset();
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
