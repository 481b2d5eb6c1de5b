// One program per data folder: later starts of the built program hand over to the
// one running (here this test process, or another start of the program) and touch
// nothing in the folder; a lock left by a killed program is taken over; SIGHUP
// saves like SIGTERM; a photo named on the command line opens as a new project.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

#include "app/ApplicationShell.h"
#include "canvas/CanvasView.h"
#include "platform/DocumentsDirectory.h"
#include "platform/QuitSignals.h"
#include "platform/SingleInstance.h"
#include "support/MainScreenTestSupport.h"

using namespace MainScreenTestSupport;

namespace {

const QDateTime kOldTime = QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6), Qt::UTC);

QByteArray preparedProject()
{
    return projectFileBytes(1024, 1024, FloatSize{1000, 700}, [](int buffer, int x, int y) {
        return 0xff000000u | std::uint32_t((x * 3 + y * 5 + buffer * 77) & 0xffffff);
    });
}

// Name, size, modification time and bytes of every file in a folder.
QStringList folderState(const QString& folder)
{
    QStringList state;
    for (const QFileInfo& file : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name))
        state << QStringLiteral("%1 %2 %3 %4")
                     .arg(file.fileName())
                     .arg(file.size())
                     .arg(file.lastModified().toMSecsSinceEpoch())
                     .arg(QString::fromLatin1(
                         QCryptographicHash::hash(readBytes(file.filePath()), QCryptographicHash::Sha1).toHex()));
    return state;
}

// The program with `home` as its HOME (an empty one: this process's).
QProcessEnvironment programEnvironment(const QString& home = QString())
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("CHARCOLINO_READY_LINE", "1");
    if (home.isEmpty())
        return env;
    env.insert("HOME", home);
    env.insert("XDG_DATA_HOME", home + "/.local/share");
    env.insert("XDG_CONFIG_HOME", home + "/.config");
    env.insert("XDG_CACHE_HOME", home + "/.cache");
    env.insert("XDG_RUNTIME_DIR", home + "/runtime");
    QDir().mkpath(home + "/runtime");
    QFile::setPermissions(home + "/runtime",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return env;
}

void startProgram(QProcess& program, const QProcessEnvironment& env, const QStringList& arguments = {})
{
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::SeparateChannels);
    program.start(QStringLiteral(CHARCOLINO_APP), arguments);
}

// Waits for a program that runs alongside this process's event loop.
bool finishes(QProcess& program)
{
    const bool done = QTest::qWaitFor([&] { return program.state() == QProcess::NotRunning; }, 60000);
    if (!done)
        program.kill();
    return done;
}

bool becomesReady(QProcess& program)
{
    if (!program.waitForStarted(60000))
        return false;
    QElapsedTimer waited;
    waited.start();
    while (!program.canReadLine() && program.state() == QProcess::Running && waited.elapsed() < 60000)
        program.waitForReadyRead(int(60000 - waited.elapsed()));
    return program.canReadLine() && program.readLine().trimmed() == "ready";
}

QStringList stderrLines(QProcess& program)
{
    return QString::fromUtf8(program.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
}

// A small photo in the Pictures folder, of a size no other picture here has.
QString writePhoto()
{
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    QDir().mkpath(pictures);
    QImage photo(200, 150, QImage::Format_RGB32);
    photo.fill(QColor(40, 120, 200));
    const QString path = QDir(pictures).filePath("handed over.png");
    return photo.save(path) ? path : QString();
}

// This process plays the running program: the data folder is the program's.
class SingleInstanceInProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Charcolino"));
        QCoreApplication::setApplicationName(QStringLiteral("Charcolino"));
        folder = DocumentsDirectory::path();
        clearDocuments();
    }
    void TearDown() override
    {
        takeAlerts();
        QCoreApplication::setOrganizationName(QString());
        QCoreApplication::setApplicationName(QStringLiteral("charcolino-tests"));
    }
    QString folder;
};

}  // namespace

TEST_F(SingleInstanceInProcess, LaterStartsHandOverAndTouchNothing)
{
    const QString slot0 = DocumentsDirectory::filePath("project0.dat");
    ASSERT_TRUE(writeBytes(slot0, preparedProject()));
    {
        QFile file(slot0);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.setFileTime(kOldTime, QFileDevice::FileModificationTime));
    }
    const QString photo = writePhoto();
    ASSERT_FALSE(photo.isEmpty());

    SingleInstance instance(folder);
    ASSERT_EQ(instance.start(QString()), SingleInstance::Outcome::Primary);
    ApplicationShell shell;
    QObject::connect(&instance, &SingleInstance::messageReceived, &shell, &ApplicationShell::bringToFront);
    shell.launch();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&shell.window()));
    CanvasView* canvas = shell.controller().canvas();
    ASSERT_TRUE(canvas && canvas->isLoaded()) << "slot 0 reopened";
    const QStringList before = folderState(folder);
    ASSERT_TRUE(before.join(' ').contains("charcolino.lock"));

    shell.window().setWindowState(Qt::WindowMinimized);
    QProcess plain;
    startProgram(plain, programEnvironment());
    ASSERT_TRUE(finishes(plain));
    EXPECT_EQ(plain.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(plain.exitCode(), 0) << stderrLines(plain).join('\n').toStdString();
    EXPECT_FALSE(shell.window().windowState() & Qt::WindowMinimized) << "the running window comes to the front";
    EXPECT_EQ(openSheet(), nullptr);

    // A relative name, as a shell passes it, reaches the running window made absolute.
    QProcess withPhoto;
    withPhoto.setWorkingDirectory(QFileInfo(photo).path());
    startProgram(withPhoto, programEnvironment(), {QFileInfo(photo).fileName()});
    ASSERT_TRUE(finishes(withPhoto));
    EXPECT_EQ(withPhoto.exitCode(), 0) << stderrLines(withPhoto).join('\n').toStdString();
    ASSERT_TRUE(QTest::qWaitFor([] { return openSheet() != nullptr; }, 30000)) << "the photo's start sheet";
    ASSERT_TRUE(chooseOnSheet("Original Picture"));
    EXPECT_TRUE(canvas->isLoaded());
    EXPECT_EQ(canvas->pictureSize(), (FloatSize{200, 150}));

    EXPECT_EQ(folderState(folder), before) << "no file in the data folder was touched";
    EXPECT_TRUE(takeAlerts().isEmpty());
}

// Without a slot 0 the start question comes first; the photo named at start
// follows it instead of being swallowed by it.
TEST_F(SingleInstanceInProcess, PhotoNamedAtStartWaitsForTheStartQuestion)
{
    const QString photo = writePhoto();
    ASSERT_FALSE(photo.isEmpty());
    ApplicationShell shell;
    shell.launch();
    shell.openPhoto(photo);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&shell.window()));
    ASSERT_TRUE(QTest::qWaitFor([] { return openSheet() != nullptr; }, 30000));
    QApplication::processEvents();
    CanvasView* canvas = shell.controller().canvas();
    EXPECT_EQ(canvas->pictureSize(), (FloatSize{640, 780})) << "the butterfly's question comes first";
    ASSERT_TRUE(chooseOnSheet("Black Pencil Sketch"));
    ASSERT_TRUE(QTest::qWaitFor([] { return openSheet() != nullptr; }, 30000)) << "then the photo's";
    ASSERT_TRUE(chooseOnSheet("Original Picture"));
    EXPECT_EQ(canvas->pictureSize(), (FloatSize{200, 150}));
    EXPECT_EQ(openSheet(), nullptr);
}

// A start that cannot go on says why in one line, exits non-zero and leaves the
// data folder alone.
TEST_F(SingleInstanceInProcess, FailedStartsSayWhyAndTouchNothing)
{
    ASSERT_TRUE(writeBytes(DocumentsDirectory::filePath("project0.dat"), preparedProject()));
    const struct {
        const char* name;
        bool lockHeldWithoutListener;
        QStringList arguments;
        int exitCode;
        const char* reason;
    } cases[] = {
        {"lock held by a program that does not answer", true, {}, 1, "does not answer"},
        {"photo that does not exist", false, {"no such photo.jpg"}, 2, "No such file"},
        {"directory as the photo", false, {QDir::homePath()}, 2, "Not a regular file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QLockFile lock(SingleInstance::lockFilePath(folder));
        if (c.lockHeldWithoutListener) {
            // However old a lock is, its process still runs.
            ASSERT_TRUE(lock.tryLock(0));
            QFile file(SingleInstance::lockFilePath(folder));
            ASSERT_TRUE(file.open(QIODevice::ReadOnly) &&
                        file.setFileTime(kOldTime, QFileDevice::FileModificationTime));
        }
        const QStringList before = folderState(folder);
        QProcess program;
        startProgram(program, programEnvironment(), c.arguments);
        ASSERT_TRUE(program.waitForFinished(60000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), c.exitCode);
        const QStringList lines = stderrLines(program);
        ASSERT_EQ(lines.size(), 1) << lines.join('\n').toStdString();
        EXPECT_TRUE(lines.first().contains(QLatin1String(c.reason))) << lines.first().toStdString();
        EXPECT_TRUE(program.readAllStandardOutput().isEmpty()) << "it never started";
        EXPECT_EQ(folderState(folder), before);
    }
}

// A program killed outright leaves its lock and socket behind; the next start takes
// them over (a third hands over to it), and a hangup ends it with the working
// project saved.
TEST(SingleInstanceProcess, KilledProgramsLockIsTakenOverAndHangupSaves)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString folder = home.filePath(".local/share/Charcolino/Charcolino");
    const QByteArray prepared = preparedProject();
    ASSERT_TRUE(writeBytes(folder + "/project0.dat", prepared));
    const QProcessEnvironment env = programEnvironment(home.path());

    QProcess killed;
    startProgram(killed, env);
    ASSERT_TRUE(becomesReady(killed)) << stderrLines(killed).join('\n').toStdString();
    ASSERT_EQ(::kill(pid_t(killed.processId()), SIGKILL), 0);
    ASSERT_TRUE(killed.waitForFinished(60000));
    ASSERT_TRUE(QFile::exists(SingleInstance::lockFilePath(folder))) << "the killed program's lock is left";

    QProcess next;
    // Whatever the test runner does with hangups, the program starts with the default.
    next.setChildProcessModifier([] { ::signal(SIGHUP, SIG_DFL); });
    startProgram(next, env);
    ASSERT_TRUE(becomesReady(next)) << stderrLines(next).join('\n').toStdString();
    QProcess third;
    startProgram(third, env);
    ASSERT_TRUE(third.waitForFinished(60000));
    EXPECT_EQ(third.exitCode(), 0) << "the new holder listens in place of the dead one: "
                                   << stderrLines(third).join('\n').toStdString();
    ASSERT_EQ(::kill(pid_t(next.processId()), SIGHUP), 0);
    ASSERT_TRUE(next.waitForFinished(60000));
    EXPECT_EQ(next.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(next.exitCode(), 0) << stderrLines(next).join('\n').toStdString();
    const QByteArray after = readBytes(folder + "/project0.dat");
    ASSERT_EQ(after.size(), prepared.size());
    EXPECT_NE(after.left(19), prepared.left(19)) << "slot 0 written anew at the hangup";
    EXPECT_TRUE(after.mid(19) == prepared.mid(19));
    EXPECT_FALSE(QFile::exists(SingleInstance::lockFilePath(folder))) << "the lock goes with the program";
}

// A hangup ends the program unless it was started to outlive its terminal (nohup);
// the handlers from before come back with the object.
TEST(QuitSignalsHangup, HandledUnlessIgnoredAtStart)
{
    for (const auto before : {SIG_DFL, SIG_IGN}) {
        SCOPED_TRACE(before == SIG_IGN ? "ignored at start" : "default at start");
        ::signal(SIGHUP, before);
        struct sigaction during = {};
        {
            QuitSignals quitSignals;
            ASSERT_TRUE(quitSignals.isInstalled());
            ::sigaction(SIGHUP, nullptr, &during);
        }
        struct sigaction after = {};
        ::sigaction(SIGHUP, nullptr, &after);
        EXPECT_EQ(during.sa_handler == before, before == SIG_IGN);
        EXPECT_EQ(after.sa_handler, before);
    }
    ::signal(SIGHUP, SIG_DFL);
}
