#include "app/startup.h"

#include "common/appcontext.h"
#include "embedded/sampleserver.h"
#include "mainwindow/frmmain.h"
#include "platform/seams.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QRegularExpression>
#include <QStandardPaths>

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

bool prepareContext(AppContext &ctx, ProfileChoice choice, const QString &demoFolder)
{
    // One message, then the end: a window on a server it cannot read would
    // only pile up unrelated messages and look usable while it is not.
    const auto fail = [](const QString &message) {
        platform::msgBox(message);
        return false;
    };
    if (choice.demo) {
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

int runApplication(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillor"));
    QApplication::setApplicationVersion(
        QStringLiteral("%1.%2.%3").arg(QUILLOR_VERSION_MAJOR).arg(QUILLOR_VERSION_MINOR).arg(QUILLOR_VERSION_PATCH));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Administration of the call routing of a voicemail server."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(registryOption());
    parser.addOption(demoOption());
    parser.process(app);

    const ProfileChoice choice = chooseProfile(QApplication::arguments(), qEnvironmentVariable("TOLVA_REGISTRY"));
    AppContext ctx(embedded::standInProcedures());
    if (!prepareContext(ctx, choice,
                        QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation)
                            + QStringLiteral("/demo-server")))
        return 1;

    frmMain window(ctx);
    if (!window.Form_Load())
        return 1;
    window.show();
    return QApplication::exec();
}

} // namespace quillor
