#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>
#include <cstdio>
#include <optional>
#include <string_view>
#include <thread>

#include "app/AppTranslations.h"
#include "app/ApplicationShell.h"
#include "app/ControlSettings.h"
#include "canvas/CanvasView.h"
#include "gl/EglContext.h"
#include "base/ConsoleLog.h"
#include "system/DocumentsDirectory.h"
#include "system/QuitSignals.h"
#include "system/SingleInstance.h"

namespace {

// One line on standard error, in English; a dialog as well, in the user's
// language, when there is a screen to show it on.
void reportFailure(const QString& line, const QString& shown)
{
    std::fprintf(stderr, "charcolino: %s\n", qUtf8Printable(line));
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("offscreen") && platform != QLatin1String("minimal"))
        QMessageBox::critical(nullptr, QStringLiteral("Charcolino"), shown);
}

// The photo named on the command line as an absolute path (a file: URL is taken
// too); empty, with the reason, when it names no regular file.
QString photoArgument(const QString& argument, QString* error)
{
    const QFileInfo file(argument.startsWith(QLatin1String("file:")) ? QUrl(argument).toLocalFile() : argument);
    if (!file.exists())
        *error = QStringLiteral("%1: No such file").arg(argument);
    else if (!file.isFile())
        *error = QStringLiteral("%1: Not a regular file").arg(argument);
    else
        return file.absoluteFilePath();
    return QString();
}

// The application's names (the Documents directory is <data home>/Charcolino/Charcolino)
// and the console's format.
void nameApplication()
{
    installConsoleLogFormat();
    QApplication::setApplicationName(QStringLiteral("Charcolino"));
    QApplication::setOrganizationName(QStringLiteral("Charcolino"));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Charcolino"));
    QGuiApplication::setDesktopFileName(QStringLiteral("charcolino"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CHARCOLINO_VERSION));
}

// The photo argument, made absolute (empty when none); false, after its line,
// when the arguments are wrong. --help and --version are answered here, and end
// the program.
bool readArguments(const QCoreApplication& app, QString* photo)
{
    QCommandLineParser arguments;
    arguments.setApplicationDescription(QStringLiteral("Turn a photo into pencil sketches and mix them by hand."));
    arguments.addHelpOption();
    arguments.addVersionOption();
    arguments.addPositionalArgument(QStringLiteral("photo"), QStringLiteral("A photo to start a new project with."),
                                    QStringLiteral("[photo]"));
    arguments.process(app);
    const QStringList positional = arguments.positionalArguments();
    if (positional.size() > 1) {
        std::fputs("charcolino: one photo at a time\n", stderr);
        return false;
    }
    if (positional.isEmpty())
        return true;
    QString error;
    *photo = photoArgument(positional.first(), &error);
    if (photo->isEmpty()) {
        std::fprintf(stderr, "charcolino: %s\n", qUtf8Printable(error));
        return false;
    }
    return true;
}

// One program per data folder, decided before anything reads or writes there.
// Answers the exit status when this start ends here (handed over, or no answer).
std::optional<int> takeDataFolder(SingleInstance& instance, const QString& photo)
{
    switch (instance.start(photo)) {
    case SingleInstance::Outcome::HandedOver:
        return 0;
    case SingleInstance::Outcome::Unreachable:
        reportFailure(instance.errorString(), instance.shownErrorString());
        return 1;
    case SingleInstance::Outcome::Unguarded:
        std::fprintf(stderr, "charcolino: %s\n", qUtf8Printable(instance.errorString()));
        break;
    case SingleInstance::Outcome::Primary:
        // No other program saves here: what interrupted saves left is nobody's.
        DocumentsDirectory::removeLeftoverTemporaries(DocumentsDirectory::path());
        break;
    }
    return std::nullopt;
}

// The ready line for scripts and tests that start the program, and the start's
// sketches and original texture finished once the first frame is out (or at once
// when anything needs them before).
void followFirstFrame(QApplication& app, ApplicationShell& shell)
{
    if (qEnvironmentVariableIsSet("CHARCOLINO_READY_LINE")) {
        QObject::connect(&shell.window(), &MainWindow::firstFramePainted, &app, [] {
            std::fputs("ready\n", stdout);
            std::fflush(stdout);
        });
    }
    QObject::connect(
        &shell.window(), &MainWindow::firstFramePainted, &app,
        [&shell] {
            if (CanvasView* canvas = shell.controller().canvas())
                canvas->finishLoading();
        },
        Qt::QueuedConnection);
}

// Whether the command line asks for the help or the version, which need no
// display. (--help-all lists the window system's options too, which only the
// application for a display knows.)
bool asksForHelpOrVersion(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument(argv[i]);
        if (argument == "--")
            return false;
        if (argument == "-h" || argument == "--help" || argument == "-v" || argument == "--version")
            return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    if (asksForHelpOrVersion(argc, argv)) {
        const QCoreApplication app(argc, argv);
        nameApplication();
        QString photo;
        return readArguments(app, &photo) ? 0 : 2;
    }
    // Every pointer position reaches the brush: Qt would otherwise merge the mouse
    // moves queued between two passes of the event loop, and a quick zigzag would
    // paint as one straight line. Turned off before the application is made, for
    // the platforms that read it then, and again after: the X11 platform turns it
    // on while it starts.
    QCoreApplication::setAttribute(Qt::AA_CompressHighFrequencyEvents, false);
    QApplication app(argc, argv);
    QCoreApplication::setAttribute(Qt::AA_CompressHighFrequencyEvents, false);
    nameApplication();
    QString photo;
    if (!readArguments(app, &photo))
        return 2;
    // The window in the user's language, from before its first widget; the
    // console's lines (above and later) stay English.
    const AppTranslations translations;

    // The GL driver is loaded and set up, and the canvas's context made, on a
    // thread of its own while the guard, the icon and the window are made; the
    // canvas waits for it, if need be, when it takes its context. Every way out of
    // main joins it.
    const std::jthread glDriver([] { EglContext::prepare(); });
    QApplication::setWindowIcon(ApplicationShell::programIcon());

    // The guard lives until after the quit save, which runs inside exec().
    SingleInstance instance(DocumentsDirectory::path());
    if (const std::optional<int> status = takeDataFolder(instance, photo))
        return *status;
    // Before the quit save (connected ahead of it): later starts may not hold the
    // descriptors its files need.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &instance, &SingleInstance::holdLaterStarts);

    // SIGTERM, SIGINT and SIGHUP end the event loop like a normal quit, so
    // aboutToQuit saves the working project. exit() rather than quit(): a window
    // that refuses to close (the start sheet waits for its answer) must not stop it.
    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, &app, [] { QCoreApplication::exit(0); });

    // The tool and the brush come back at the next start.
    ControlSettings::setEnabled(true);
    ApplicationShell shell;
    QObject::connect(&instance, &SingleInstance::messageReceived, &shell, &ApplicationShell::bringToFront);
    followFirstFrame(app, shell);
    // The working project is shown as soon as its picture is read.
    CanvasView::setLeaveStartSketches(true);
    // A photo to start with is the first project when there is no working one:
    // one start sheet, over that photo.
    CanvasView::setSkipStartPicture(!photo.isEmpty());
    shell.launch();
    CanvasView::setLeaveStartSketches(false);
    CanvasView::setSkipStartPicture(false);
    if (!photo.isEmpty())
        shell.openPhoto(photo);
    const int exitCode = app.exec();
    // A quit save that failed has said why in its line; the exit says it failed.
    return exitCode == 0 && shell.delegate().workingProjectSaveFailed() ? 1 : exitCode;
}
