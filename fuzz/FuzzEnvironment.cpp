#include "FuzzEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace {

// Decoders warn about every damaged file and the program logs its steps: at
// every input that is only noise, and slow.
void quiet(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

QTemporaryDir& home()
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/charcolino-fuzz-XXXXXX"));
    return dir;
}

}  // namespace

namespace FuzzEnvironment {

void start()
{
    if (!home().isValid())
        fail("a temporary HOME", __FILE__, __LINE__);
    const QString path = home().path();
    qputenv("HOME", path.toUtf8());
    for (const char* name : {"XDG_PICTURES_DIR", "XDG_DOCUMENTS_DIR"})
        qunsetenv(name);
    qputenv("XDG_DATA_HOME", (path + "/.local/share").toUtf8());
    qputenv("XDG_CONFIG_HOME", (path + "/.config").toUtf8());
    qputenv("XDG_CACHE_HOME", (path + "/.cache").toUtf8());
    QDir(path).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(path + "/runtime", QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                 QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", (path + "/runtime").toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    // Lives as long as the process: libFuzzer ends it with exit().
    static int argc = 1;
    static char name[] = "charcolino-fuzz";
    static char* argv[] = {name, nullptr};
    qInstallMessageHandler(quiet);
    static QApplication* app = new QApplication(argc, argv);
    (void)app;
    QApplication::setApplicationName(QStringLiteral("charcolino-fuzz"));
}

QString scratchPath(const QString& fileName) { return QDir(home().path()).filePath(fileName); }

void fail(const char* condition, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: requirement failed: %s\n", file, line, condition);
    std::fflush(stderr);
    std::abort();
}

void writeInput(const QString& path, const std::uint8_t* data, std::size_t size)
{
    QFile file(path);
    FUZZ_REQUIRE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_REQUIRE(file.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size));
}

}  // namespace FuzzEnvironment
