// Test entry: every test process runs headless (Qt's offscreen platform) with its
// own temporary HOME, so Documents and Pictures never reach the user's folders,
// and in English.
#include <gtest/gtest.h>

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);

    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    qputenv("HOME", home.path().toUtf8());
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_PICTURES_DIR",
                             "XDG_DOCUMENTS_DIR", "XDG_RUNTIME_DIR"})
        qunsetenv(name);
    qputenv("XDG_DATA_HOME", (home.path() + "/.local/share").toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
    qputenv("XDG_CACHE_HOME", (home.path() + "/.cache").toUtf8());
    QDir(home.path()).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(home.path() + "/runtime", QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                        QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", (home.path() + "/runtime").toUtf8());
    // English, the texts the tests read, whatever the developer's language; the
    // programs they start inherit it. A test that wants another language sets it
    // for its own process.
    for (const char* name : {"LC_MESSAGES", "LANG"})
        qunsetenv(name);
    qputenv("LANGUAGE", "en");
    qputenv("LC_ALL", "C.UTF-8");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("charcolino-tests"));
    return RUN_ALL_TESTS();
}
