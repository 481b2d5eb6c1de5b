// The window in German, French and Spanish: the language the system asks for is
// chosen (English, the source, when it comes first or none is built in), every
// message of the translation files is built in and used, placeholders survive
// translation, and the main screen and its start sheet show the translated words.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>
#include <algorithm>

#include "app/AppTranslations.h"
#include "app/ApplicationShell.h"
#include "canvas/CanvasView.h"
#include "system/SingleInstance.h"
#include "widgets/ActionSheet.h"
#include "widgets/SegmentedControl.h"
#include "support/ImportTestFiles.h"
#include "support/MainScreenTestSupport.h"

using namespace MainScreenTestSupport;

namespace {

struct Message {
    QString context;
    QString source;
    QString translation;
};

// The messages of translations/charcolino_<language>.ts, read as Linguist writes them.
std::vector<Message> tsMessages(const QString& language)
{
    QFile file(QStringLiteral(CHARCOLINO_SOURCE_DIR "/translations/charcolino_%1.ts").arg(language));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    std::vector<Message> messages;
    QXmlStreamReader xml(&file);
    QString context;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name"))
            context = xml.readElementText();
        else if (xml.name() == QLatin1String("source"))
            messages.push_back({context, xml.readElementText(), QString()});
        else if (xml.name() == QLatin1String("translation") && !messages.empty())
            messages.back().translation = xml.readElementText();
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return messages;
}

QStringList placeholders(const QString& text)
{
    QStringList found;
    for (const QRegularExpressionMatch& m : QRegularExpression(QStringLiteral("%\\d")).globalMatch(text))
        found << m.captured();
    found.sort();
    return found;
}

QStringList texts(const QList<QPushButton*>& buttons)
{
    QStringList out;
    for (const QPushButton* b : buttons)
        out << b->text();
    return out;
}

const QStringList kLanguages{"de", "es", "fr"};

}  // namespace

TEST(Translations, TheFirstLanguageAskedForThatIsEnglishOrBuiltInIsChosen)
{
    const struct {
        QStringList asked;
        QString chosen;
    } cases[] = {
        {{"de-DE", "de"}, "de"},
        {{"de-AT"}, "de"},
        {{"fr-CA", "fr"}, "fr"},
        {{"es-MX"}, "es"},
        {{"it-IT", "es-ES"}, "es"},  // Italian is not built in: the next one
        {{"en-US", "de"}, ""},       // English first: the source, not German
        {{"en-GB"}, ""},
        {{"it-IT", "pt-BR"}, ""},  // none built in: English
        {{"C"}, ""},
        {{}, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AppTranslations::chooseLanguage(c.asked, kLanguages), c.chosen) << c.asked.join(',').toStdString();
}

TEST(Translations, GermanFrenchAndSpanishAreBuiltIn)
{
    EXPECT_EQ(AppTranslations::builtInLanguages(), kLanguages);
    // The tests run in English whatever the developer's language.
    const AppTranslations system;
    EXPECT_EQ(system.language(), QString());
    EXPECT_EQ(QCoreApplication::translate("CharcolinoViewController", "New Project"), "New Project");
}

// Every message of each file, looked up through the installed translator, gives
// that file's translation, with the same placeholders as its source.
TEST(Translations, EveryMessageOfEachFileIsBuiltInWithItsPlaceholders)
{
    for (const QString& language : kLanguages) {
        SCOPED_TRACE(language.toStdString());
        const std::vector<Message> messages = tsMessages(language);
        ASSERT_GT(messages.size(), 100u);
        const AppTranslations translations{QLocale(language)};
        ASSERT_EQ(translations.language(), language);
        for (const Message& m : messages) {
            EXPECT_FALSE(m.translation.isEmpty()) << m.source.toStdString();
            EXPECT_EQ(placeholders(m.translation), placeholders(m.source)) << m.translation.toStdString();
            EXPECT_EQ(QCoreApplication::translate(m.context.toUtf8().constData(), m.source.toUtf8().constData()),
                      m.translation)
                << m.context.toStdString() << ": " << m.source.toStdString();
        }
    }
    // Gone with the object: English again.
    EXPECT_EQ(QCoreApplication::translate("CharcolinoViewController", "New Project"), "New Project");
}

TEST(Translations, TheMainScreenAndItsStartSheetShowTheUsersLanguage)
{
    const struct {
        const char* language;
        QStringList menu;
        QString menuButton;
        QStringList tools;
        QString sheetTitle;
        QStringList sheet;
        QString unsavedTitle;
    } cases[] = {
        {"de",
         {"Neues Projekt", "Projekt speichern", "Projekt laden", "Ins Fotoalbum exportieren"},
         "Menü",
         {"Schwarz", "Farbe", "Foto", "Bewegen"},
         "Neues Projekt beginnen mit",
         {"Schwarze Bleistiftskizze", "Buntstiftskizze", "Originalbild"},
         "* Nicht gespeicherte Striche"},
        {"fr",
         {"Nouveau projet", "Enregistrer le projet", "Charger un projet", "Exporter vers l'album photo"},
         "Menu",
         {"Noir", "Couleur", "Photo", "Déplacer"},
         "Commencer un nouveau projet avec",
         {"Croquis au crayon noir", "Croquis aux crayons de couleur", "Image originale"},
         "* Traits non enregistrés"},
        {"es",
         {"Nuevo proyecto", "Guardar proyecto", "Cargar proyecto", "Exportar al álbum de fotos"},
         "Menú",
         {"Negro", "Color", "Foto", "Mover"},
         "Empezar un nuevo proyecto con",
         {"Boceto a lápiz negro", "Boceto a lápices de colores", "Imagen original"},
         "* Trazos sin guardar"},
    };
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    const QString photo = QDir(pictures).filePath("start.png");
    QDir().mkpath(QFileInfo(photo).absolutePath());
    ASSERT_TRUE(ImportTestFiles::quadrantPicture(300, 200).save(photo, "PNG"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        clearDocuments();
        const AppTranslations translations{QLocale(QString::fromLatin1(c.language))};
        CanvasView::setSkipStartPicture(true);
        auto shell = std::make_unique<ApplicationShell>();
        shell->launch();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&shell->window()));
        CharcolinoViewController& controller = shell->controller();
        EXPECT_EQ(texts({controller.newButton(), controller.saveButton(), controller.loadButton(),
                         controller.exportButton()}),
                  c.menu);
        EXPECT_EQ(controller.menuButton()->text(), c.menuButton);
        EXPECT_EQ(controller.toolbar()->titles(), c.tools);
        // The segments keep their places: Move is still the one selected.
        EXPECT_EQ(controller.toolbar()->selectedSegmentIndex(), 3);

        shell->openPhoto(photo);
        ASSERT_TRUE(QTest::qWaitFor([] { return openSheet() != nullptr; }, 5000));
        EXPECT_EQ(openSheet()->title(), c.sheetTitle);
        EXPECT_EQ(texts(openSheet()->findChildren<QPushButton*>()), c.sheet);
        ASSERT_TRUE(chooseOnSheet(c.sheet.last()));

        shell->window().setUnsaved(true);
        EXPECT_EQ(shell->window().windowTitle(), c.unsavedTitle);
        shell->window().setUnsaved(false);
        EXPECT_EQ(shell->window().windowTitle(), "Charcolino");
        takeAlerts();
        shell.reset();
        CanvasView::setSkipStartPicture(false);
        QApplication::processEvents();
    }
}

// A start whose data folder is held by a program that does not answer: its line
// on the console in English, its alert in the user's language.
TEST(Translations, AFolderHeldByASilentProgramIsToldInEnglishAndShownInTheUsersLanguage)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QLockFile held(SingleInstance::lockFilePath(folder.path()));
    ASSERT_TRUE(held.tryLock(0));
    const AppTranslations german{QLocale(QStringLiteral("de"))};
    SingleInstance instance(folder.path());
    ASSERT_EQ(instance.start(QString()), SingleInstance::Outcome::Unreachable);
    const QString place = QDir::toNativeSeparators(folder.path());
    const QString process = QString::number(QCoreApplication::applicationPid());
    const QString logged = instance.errorString();
    const QString shown = instance.shownErrorString();
    EXPECT_TRUE(logged.startsWith("Charcolino is already running on " + place + " (process " + process + " on "))
        << logged.toStdString();
    EXPECT_TRUE(logged.contains(") but does not answer: ")) << logged.toStdString();
    EXPECT_TRUE(shown.startsWith("Charcolino läuft bereits auf " + place + " (Prozess " + process + " auf "))
        << shown.toStdString();
    EXPECT_TRUE(shown.contains("), antwortet aber nicht: ")) << shown.toStdString();
}
