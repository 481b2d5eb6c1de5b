// The built program follows the system's language: started on a virtual X display
// (Xvfb) with German, French or Spanish asked for the ways a desktop asks (LANG,
// LANGUAGE, LC_ALL), its start sheet, the menu's Save Project and the list of keys
// open in that language, judged by their window titles as the display has them,
// while its console lines stay English.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <ostream>
#include <string>

#include "support/DisplayEnvironment.h"
#include "support/ImportTestFiles.h"
#include "support/ProcessLine.h"

namespace {

constexpr int kWaitMs = 30000;

struct Language {
    const char* name;
    QStringList variables;  // the language as the system asks for it
    QString sheetTitle;
    QString saveTitle;
    QString keysTitle;
};

// Named in the test's name and messages.
void PrintTo(const Language& language, std::ostream* out) { *out << language.name; }

// Each on a display of its own.
class ProgramLanguage : public ::testing::TestWithParam<Language> {
protected:
    void SetUp() override
    {
        for (const char* tool : {"Xvfb", "xdotool"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
                if (qEnvironmentVariableIntValue("CHARCOLINO_REQUIRE_GL") == 1)
                    FAIL() << tool << " is missing, and CHARCOLINO_REQUIRE_GL=1 requires the X test to run";
                GTEST_SKIP() << tool << " is missing (scripts/setup installs it)";
            }
        // A display number of this process's own rather than the first free one:
        // X servers that look for a free number at the same moment (other tests
        // running beside this one) may end up on the same one.
        const int first = 100 + int(QCoreApplication::applicationPid() % 800);
        for (int number = first; number < first + 50 && display.isEmpty(); ++number)
            display = startDisplay(number);
        ASSERT_FALSE(display.isEmpty()) << "Xvfb gave no display: " << xvfb.readAllStandardError().toStdString();
    }
    // ":<number>" once an X server answers there, or empty when the number is taken.
    QString startDisplay(int number)
    {
        xvfb.start(QStringLiteral("Xvfb"), {QStringLiteral(":%1").arg(number), "-displayfd", "1", "-screen", "0",
                                            "800x600x24", "-nolisten", "tcp"});
        if (!xvfb.waitForStarted(kWaitMs))
            return QString();
        if (!waitForLine(xvfb, kWaitMs) || xvfb.readLine().trimmed().toInt() != number) {
            xvfb.kill();
            xvfb.waitForFinished(kWaitMs);
            return QString();
        }
        return QStringLiteral(":%1").arg(number);
    }
    void TearDown() override
    {
        if (app.state() != QProcess::NotRunning) {
            app.kill();
            app.waitForFinished(kWaitMs);
        }
        // Ended so that it removes its lock and socket: a display number left
        // locked by a killed server is one that two servers starting at once
        // (other tests) may both take.
        if (xvfb.state() != QProcess::NotRunning) {
            xvfb.terminate();
            if (!xvfb.waitForFinished(kWaitMs)) {
                xvfb.kill();
                xvfb.waitForFinished(kWaitMs);
            }
        }
    }

    // A fresh HOME on the display, with the language variables of `language` only.
    QProcessEnvironment environment(const QTemporaryDir& home, const QStringList& language) const
    {
        QProcessEnvironment env = displayEnvironment(display, home);
        for (const char* name : {"LANG", "LANGUAGE", "LC_ALL", "LC_MESSAGES"})
            env.remove(QString::fromLatin1(name));
        for (const QString& assignment : language)
            env.insert(assignment.section('=', 0, 0), assignment.section('=', 1));
        return env;
    }

    // Runs xdotool on the display; its standard output.
    QByteArray xdotool(const QStringList& args)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        p.setProcessEnvironment(env);
        p.start(QStringLiteral("xdotool"), args);
        if (!p.waitForFinished(kWaitMs) || p.exitCode() != 0)
            ADD_FAILURE() << "xdotool " << args.join(' ').toStdString() << ": "
                          << p.readAllStandardError().toStdString();
        return p.readAllStandardOutput();
    }
    // The first visible window titled exactly `title`, or empty.
    QString findWindow(const QString& title)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        p.setProcessEnvironment(env);
        p.start(QStringLiteral("xdotool"), {"search", "--onlyvisible", "--name", "^" + title + "$"});
        p.waitForFinished(kWaitMs);
        return QString::fromLatin1(p.readAllStandardOutput().split('\n').first().trimmed());
    }
    // The same once there is one (empty when none comes).
    QString windowTitled(const QString& title)
    {
        QString id;
        (void)QTest::qWaitFor([&] { return !(id = findWindow(title)).isEmpty(); }, kWaitMs);
        return id;
    }

    // What went wrong, when a window does not come: the program's state and output,
    // and the titles of the windows on the display.
    std::string diagnosis()
    {
        QByteArray titles;
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        p.setProcessEnvironment(env);
        p.start(QStringLiteral("xdotool"), {"search", "--onlyvisible", "--name", "."});
        p.waitForFinished(kWaitMs);
        for (const QByteArray& id : p.readAllStandardOutput().split('\n'))
            if (!id.trimmed().isEmpty())
                titles += xdotool({"getwindowname", QString::fromLatin1(id.trimmed())});
        return QStringLiteral("program %1, output:\n%2\nwindows:\n%3")
            .arg(app.state() == QProcess::Running ? QStringLiteral("running")
                                                  : QStringLiteral("ended with %1").arg(app.exitCode()),
                 QString::fromUtf8(app.readAll()), QString::fromUtf8(titles))
            .toStdString();
    }

    QProcess xvfb;
    QProcess app;
    QString display;
};

}  // namespace

TEST_P(ProgramLanguage, TheStartSheetTheMenusSaveAndTheKeysInTheSystemsLanguage)
{
    const Language& c = GetParam();
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString photo = home.filePath("photo.png");
    ASSERT_TRUE(ImportTestFiles::quadrantPicture(400, 300).save(photo, "PNG"));
    QProcessEnvironment env = environment(home, c.variables);
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("CHARCOLINO_READY_LINE", "1");
    app.setProcessEnvironment(env);
    app.setProcessChannelMode(QProcess::MergedChannels);
    app.start(QStringLiteral(CHARCOLINO_APP), {photo});
    ASSERT_TRUE(app.waitForStarted(kWaitMs));

    // A first start with a photo: its sheet, chosen by keys (Original Picture).
    const QString sheet = windowTitled(c.sheetTitle);
    ASSERT_FALSE(sheet.isEmpty()) << diagnosis();
    xdotool({"key", "Down", "Down", "Return"});
    const QString window = windowTitled("Charcolino");
    ASSERT_FALSE(window.isEmpty()) << diagnosis();
    xdotool({"windowfocus", window});

    // The menu's Save Project: the slot browser, titled as the menu entry.
    xdotool({"key", "ctrl+s"});
    const QString browser = windowTitled(c.saveTitle);
    ASSERT_FALSE(browser.isEmpty()) << diagnosis();
    xdotool({"key", "Escape"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return findWindow(c.saveTitle).isEmpty(); }, kWaitMs));

    // The list of keys.
    xdotool({"windowfocus", window});
    xdotool({"key", "F1"});
    EXPECT_FALSE(windowTitled(c.keysTitle).isEmpty()) << diagnosis();

    // The console's lines stay English: the album's, after an export.
    xdotool({"windowfocus", window});
    xdotool({"key", "ctrl+e"});
    QByteArray console;
    EXPECT_TRUE(QTest::qWaitFor([&] { return (console += app.readAll()).contains("Save finished"); }, kWaitMs))
        << console.toStdString();
    ASSERT_EQ(::kill(pid_t(app.processId()), SIGTERM), 0);
    ASSERT_TRUE(app.waitForFinished(kWaitMs));
    EXPECT_EQ(app.exitCode(), 0);
    EXPECT_TRUE(console.contains("ready\n")) << console.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Languages, ProgramLanguage,
    ::testing::Values(Language{"GermanFromLang", {"LANG=de_DE.UTF-8"}, "Neues Projekt beginnen mit", "Projekt speichern",
                               "Tasten"},
                      Language{"FrenchFromLanguage", {"LANGUAGE=fr_FR:en", "LANG=C.UTF-8"},
                               "Commencer un nouveau projet avec", "Enregistrer le projet", "Touches"},
                      Language{"SpanishFromLcAll", {"LC_ALL=es_ES.UTF-8", "LANG=en_US.UTF-8"},
                               "Empezar un nuevo proyecto con", "Guardar proyecto", "Teclas"},
                      Language{"EnglishBeforeGerman", {"LANGUAGE=en_GB:de", "LANG=de_DE.UTF-8"},
                               "Start New Project With", "Save Project", "Keys"}),
    [](const ::testing::TestParamInfo<Language>& info) { return std::string(info.param.name); });
