#include "app/startup.h"

#include "common/appcontext.h"
#include "embedded/sampleserver.h"
#include "mainwindow/frmmain.h"
#include "platform/seams.h"

#include <QApplication>
#include <QCommandLineParser>
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

} // namespace

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

void prepareContext(AppContext &ctx, ProfileChoice choice, const QString &demoFolder)
{
    if (choice.demo) {
        QString error;
        const auto server = embedded::createSampleServer(demoFolder, {}, &error);
        if (!server) {
            platform::msgBox(QStringLiteral("The sample server could not be created in %1: %2").arg(demoFolder, error));
            return;
        }
        choice.registryFile = server->registryFile;
    }
    if (choice.registryFile.isEmpty()) {
        platform::msgBox(QStringLiteral("No server profile was given. Start Quillor with --registry FILE (a registry "
                                        "export of the server), set TOLVA_REGISTRY, or use --demo for the sample server."));
        return;
    }
    QString error;
    if (!ctx.loadRegistry(choice.registryFile, &error))
        platform::msgBox(error);
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
    prepareContext(ctx, choice,
                   QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + QStringLiteral("/demo-server"));

    frmMain window(ctx);
    if (!window.Form_Load())
        return 1;
    window.show();
    return QApplication::exec();
}

} // namespace quillor
