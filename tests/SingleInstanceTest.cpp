// One program per data folder: later starts of the built program hand over to the
// one running (here this test process, or another start of the program) and touch
// nothing in the folder; a lock left by a killed program is taken over; SIGHUP
// saves like SIGTERM; a photo named on the command line opens as a new project.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

#include "app/ApplicationShell.h"
#include "canvas/CanvasView.h"
#include "system/DocumentsDirectory.h"
#include "system/LocalSocketChannel.h"
#include "system/QuitSignals.h"
#include "system/SingleInstance.h"
#include "support/MainScreenTestSupport.h"
#include "support/ProcessLine.h"

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
    return waitForLine(program, 60000) && program.readLine().trimmed() == "ready";
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
    // A save's leftover belongs to the program holding the folder, not to a later start.
    ASSERT_TRUE(writeBytes(DocumentsDirectory::filePath("project0.strokes.AbC123"), "x"));
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

namespace {

int openDescriptorsOf(qint64 pid)
{
    return int(QDir(QStringLiteral("/proc/%1/fd").arg(pid)).entryList(QDir::Files | QDir::System).size());
}

// One connection to the program's socket that sends nothing; -1 when the socket's
// queue is full.
int idleConnection(const QString& socketPath)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray encoded = QFile::encodeName(socketPath);
    std::memcpy(address.sun_path, encoded.constData(), size_t(encoded.size()));
    if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return fd;
    if (fd >= 0)
        ::close(fd);
    return -1;
}

}  // namespace

// Far more idle connections than the program has descriptors cannot stop its
// quit save: it serves a few at a time and lets go of them before saving.
TEST(SingleInstanceProcess, FloodOfIdleConnectionsDoesNotStopTheQuitSave)
{
    constexpr int kDescriptorLimit = 1024;
    constexpr int kConnections = 1500;
    rlimit own{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &own), 0);
    if (own.rlim_max < rlim_t(kConnections + 200))
        GTEST_SKIP() << "this process may not hold " << kConnections << " connections";
    const rlimit raised{own.rlim_max, own.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &raised), 0);

    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString folder = home.filePath(".local/share/Charcolino/Charcolino");
    const QByteArray prepared = preparedProject();
    ASSERT_TRUE(writeBytes(folder + "/project0.dat", prepared));
    const QProcessEnvironment env = programEnvironment(home.path());
    QProcess program;
    program.setChildProcessModifier([] {
        const rlimit limit{kDescriptorLimit, kDescriptorLimit};
        ::setrlimit(RLIMIT_NOFILE, &limit);
    });
    startProgram(program, env);
    ASSERT_TRUE(becomesReady(program)) << stderrLines(program).join('\n').toStdString();
    const qint64 pid = program.processId();
    const int before = openDescriptorsOf(pid);

    // The program's socket is in its runtime folder.
    const QByteArray ownRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", env.value("XDG_RUNTIME_DIR").toLocal8Bit());
    const QString socketPath = LocalSocketChannel::socketPath(SingleInstance::serverName(folder));
    qputenv("XDG_RUNTIME_DIR", ownRuntime);
    ASSERT_TRUE(socketPath.startsWith(env.value("XDG_RUNTIME_DIR"))) << socketPath.toStdString();
    std::vector<int> flood;
    for (int i = 0; i < kConnections; ++i) {
        if (const int fd = idleConnection(socketPath); fd >= 0)
            flood.push_back(fd);
    }
    EXPECT_GT(flood.size(), size_t(kDescriptorLimit)) << "the socket's queue holds the flood";
    // The program has taken connections (all it could, when it took them without
    // bound) before it hears the quit.
    [[maybe_unused]] const bool taken = QTest::qWaitFor(
        [&] { return openDescriptorsOf(pid) >= before + LocalSocketChannel::kMaxConnections; }, 20000);
    ASSERT_EQ(::kill(pid_t(pid), SIGTERM), 0);
    const bool finished = program.waitForFinished(60000);
    for (int fd : flood)
        ::close(fd);
    ::setrlimit(RLIMIT_NOFILE, &own);
    ASSERT_TRUE(finished);
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(stderrLines(program).isEmpty()) << stderrLines(program).join('\n').toStdString();
    const QByteArray after = readBytes(folder + "/project0.dat");
    ASSERT_EQ(after.size(), prepared.size());
    EXPECT_NE(after.left(19), prepared.left(19)) << "slot 0 written anew at the quit";
    EXPECT_TRUE(after.mid(19) == prepared.mid(19));
}

// A quit save that fails says so in its line, naming the file and the system's
// reason, and the program exits non-zero; slot 0 keeps what it had.
TEST(SingleInstanceProcess, FailedQuitSaveExitsNonZeroAfterItsLine)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString folder = home.filePath(".local/share/Charcolino/Charcolino");
    const QByteArray prepared = preparedProject();
    ASSERT_TRUE(writeBytes(folder + "/project0.dat", prepared));
    QProcess program;
    // Files past 64 KiB cannot be written: a write fails with its reason instead
    // of ending the program.
    program.setChildProcessModifier([] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{64 * 1024, 64 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    startProgram(program, programEnvironment(home.path()));
    ASSERT_TRUE(becomesReady(program)) << stderrLines(program).join('\n').toStdString();
    ASSERT_EQ(::kill(pid_t(program.processId()), SIGTERM), 0);
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 1);
    const QStringList lines = stderrLines(program);
    ASSERT_EQ(lines.size(), 1) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.first().startsWith(QStringLiteral("Cannot save the working project ") + folder))
        << lines.first().toStdString();
    EXPECT_TRUE(lines.first().endsWith(QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(EFBIG))))
        << lines.first().toStdString();
    EXPECT_TRUE(readBytes(folder + "/project0.dat") == prepared);
}

// What saves cut off left in the data folder goes once a program holds the
// folder; everything else stays.
TEST(SingleInstanceProcess, StartRemovesTheTemporariesOfInterruptedSaves)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString folder = home.filePath(".local/share/Charcolino/Charcolino");
    ASSERT_TRUE(writeBytes(folder + "/project0.dat", preparedProject()));
    const QStringList leftovers = {
        "project0.strokes.AbC123", "project12.dat.xYzQwE", "project3.photo.abcdef",
        "thumbnail0.jpg.ZZZZZZ",   ".project0.strokes.q1w2e3",
    };
    const QStringList others = {
        "project7.strokes",        "thumbnail7.jpg",         "project0.strokes.abcde",
        "project0.strokes.abcdefg", "project0.txt.abcdef",    "projectX.dat.abcdef",
        "holiday.jpg.abcdef",      "project0.strokes.ab-cde", "xproject0.dat.abcdef",
        "project0.dat.abcdef.jpg",
    };
    for (const QString& name : leftovers + others)
        ASSERT_TRUE(writeBytes(folder + "/" + name, "x"));
    QProcess program;
    startProgram(program, programEnvironment(home.path()));
    ASSERT_TRUE(becomesReady(program)) << stderrLines(program).join('\n').toStdString();
    QStringList present = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    ASSERT_EQ(::kill(pid_t(program.processId()), SIGTERM), 0);
    ASSERT_TRUE(program.waitForFinished(60000));
    for (const QString& name : leftovers)
        EXPECT_FALSE(present.contains(name)) << name.toStdString();
    for (const QString& name : others)
        EXPECT_TRUE(present.contains(name)) << name.toStdString();
}
