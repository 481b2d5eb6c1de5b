// charcolino-sketch: the photo import and the pencil sketch filter of the painting
// program, without a window.
//   charcolino-sketch PHOTO -o DIR            original.png, black.png, color.png
//   charcolino-sketch PHOTO... -o DIR         the same in DIR/<name> for each photo
//   charcolino-sketch --full-size PHOTO... -o DIR
//                                             black.png, color.png at the photo's size
//   charcolino-sketch --project FILE -o DIR   original.png, working.png, black.png,
//                                             color.png from a saved project
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <optional>
#include "tools/PhotoBatch.h"
#include "tools/PngFiles.h"
#include "tools/ProjectImages.h"
#include "tools/SilencedStderr.h"
#include "tools/StreamedFiles.h"
#include "tools/ToolConsole.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// One line on standard error: the tool, what it was about, why it failed.
int fail(const QString& subject, const QString& reason, int code = kExitFailure)
{
    ToolConsole::line(QStringLiteral("%1: %2").arg(subject, reason));
    return code;
}

// The tool speaks only in its own lines: the warnings of Qt and of the image
// decoders it reaches through Qt (libpng, libjpeg) are dropped, and a fatal
// message, which ends the program, is one line too.
void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtFatalMsg)
        ToolConsole::line(message);
}

int extractProject(const QString& project, const QString& outputDir)
{
    ProjectImages images;
    QString error;
    if (!images.read(project, &error))
        return fail(project, error);
    QString subject, reason;
    {
        const std::vector<NamedImage> pngs{{"original.png", images.original()},
                                           {"working.png", images.working()},
                                           {"black.png", images.black()},
                                           {"color.png", images.color()}};
        if (!writePngFiles(outputDir, pngs, true, &subject, &reason))
            return fail(subject, reason);
    }
    // The drawing at the photo's size when the project keeps its photo, written as
    // it is drawn; a project whose side files cannot be used still gives its four
    // pictures.
    StreamedFiles files(outputDir, {"full.png"});
    const auto start = [&files]() -> PngStripEncoder::Out {
        std::vector<PngStripEncoder::Out> outs;
        return files.start(&outs) ? outs[0] : PngStripEncoder::Out();
    };
    QString why;
    if (!images.fullPng(start, &why)) {
        if (files.failed())
            return fail(files.subject(), files.reason());
        if (!why.isEmpty())
            ToolConsole::line(QStringLiteral("%1: no full.png: %2").arg(project, why));
        return 0;
    }
    if (!files.commit())
        return fail(files.subject(), files.reason());
    return 0;
}

// What --help says about the tool.
QString description()
{
    return QStringLiteral(
    "Turns a photo into a black pencil sketch and a colour pencil sketch, or\n"
    "takes the images out of a project file saved by the painting program.\n"
    "\n"
    "PHOTO -o DIR: the photo is imported as the painting program imports it:\n"
    "turned upright by its EXIF orientation (a HEIC or AVIF photo by its own\n"
    "turns and mirrors) and scaled down to at most 1024 pixels a side.\n"
    "Formats read: JPEG, PNG, HEIC/HEIF, AVIF, WebP, TIFF, GIF, BMP, and the\n"
    "others Qt reads here (ICO, TGA, PBM/PGM/PPM, XBM, XPM ...); a file with\n"
    "several pictures (a burst, a multi-page TIFF) gives its first or primary\n"
    "one. DIR receives three RGB PNG files of the picture's size:\n"
    "  original.png  the imported photo\n"
    "  black.png     the black pencil sketch\n"
    "  color.png     the colour pencil sketch\n"
    "\n"
    "PHOTO... -o DIR: several photos, each into a folder of DIR named after\n"
    "it: DIR/beach/original.png ... for beach.jpg. A photo that fails has its\n"
    "line and the others are still made; the exit status is then 1. On a\n"
    "terminal a progress line shows how many are done.\n"
    "\n"
    "--full-size PHOTO... -o DIR: the sketches at the photo's own size, turned\n"
    "upright but not scaled down, their lines as wide in proportion as on the\n"
    "imported photo (as the drawing at the photo's size, full.png below, has\n"
    "them). DIR (or DIR/<name> for each of several photos, made one after the\n"
    "other) receives two PNG files:\n"
    "  black.png     the black pencil sketch, a greyscale PNG\n"
    "  color.png     the colour pencil sketch, RGB\n"
    "\n"
    "--project FILE -o DIR: FILE is a project file (projectN.dat in the\n"
    "program's data folder). DIR receives four RGB PNG files of the picture's\n"
    "size:\n"
    "  original.png  the photo the project started from\n"
    "  working.png   the painted working image\n"
    "  black.png     the black pencil sketch, computed again from the photo\n"
    "  color.png     the colour pencil sketch, computed again from the photo\n"
    "  full.png      the drawing at the photo's own size, when the photo and\n"
    "                the drawing record kept beside the project file\n"
    "                (projectN.photo, projectN.strokes) belong to it\n"
    "\n"
    "Each PNG is opaque and holds the colour stored for each pixel, which is\n"
    "what the program shows (it draws its pictures without blending).\n"
    "DIR is created when missing; files of these names in it are replaced.\n"
    "On failure one line on standard error names the file and the reason, the\n"
    "exit status is 1, and nothing is written when the photo or project file\n"
    "cannot be used. Wrong arguments give exit status 2.\n"
    "\n"
    "A photo that stops short (a cut-off download or copy) is still used when\n"
    "it is a JPEG, GIF, BMP or XBM file: as far as it goes, the rest filled\n"
    "(grey for JPEG and BMP, as the program shows it; the background for GIF;\n"
    "blank for XBM), with one warning line on standard error and exit status\n"
    "0. A cut file of another format is refused as damaged. No full.png is\n"
    "made from a stored photo that stops short.");
}

// The arguments of one run: photos, or a project file, and the output folder.
struct Arguments {
    QStringList photos;
    QString project;  // empty: photos
    QString outputDir;
    bool fullSize = false;
};

// Reads the arguments; the exit status when the run ends here (help shown, or
// wrong arguments after their line).
std::optional<int> readArguments(QCommandLineParser& parser, Arguments* arguments)
{
    parser.setApplicationDescription(description());
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("PHOTO"),
                                 QStringLiteral("The photo: JPEG, PNG, HEIC, AVIF, WebP, TIFF or another format read."),
                                 QStringLiteral("[--full-size] PHOTO... -o DIR | --project FILE -o DIR"));
    const QCommandLineOption outputOption({QStringLiteral("o"), QStringLiteral("output")},
                                          QStringLiteral("Write the PNG files into <DIR>."), QStringLiteral("DIR"));
    const QCommandLineOption projectOption(QStringLiteral("project"),
                                           QStringLiteral("Read the project file <FILE> instead of a photo."),
                                           QStringLiteral("FILE"));
    const QCommandLineOption fullSizeOption(QStringLiteral("full-size"),
                                            QStringLiteral("Make the sketches at the photo's own size."));
    parser.addOption(outputOption);
    parser.addOption(projectOption);
    parser.addOption(fullSizeOption);
    if (!parser.parse(QCoreApplication::arguments()))
        return fail(QStringLiteral("usage"), parser.errorText() + QStringLiteral(" (see --help)"), kExitUsage);
    if (parser.isSet(helpOption) || parser.isSet(QStringLiteral("help-all")))
        parser.showHelp(0);
    if (parser.isSet(versionOption))
        parser.showVersion();

    arguments->photos = parser.positionalArguments();
    const bool projectMode = parser.isSet(projectOption);
    arguments->fullSize = parser.isSet(fullSizeOption);
    if (projectMode && (!arguments->photos.isEmpty() || parser.value(projectOption).isEmpty()))
        return fail(QStringLiteral("usage"), QStringLiteral("give either PHOTO or --project FILE (see --help)"),
                    kExitUsage);
    if (projectMode && arguments->fullSize)
        return fail(QStringLiteral("usage"), QStringLiteral("--full-size is for photos, not --project (see --help)"),
                    kExitUsage);
    if (!projectMode && arguments->photos.isEmpty())
        return fail(QStringLiteral("usage"), QStringLiteral("give a PHOTO and -o DIR (see --help)"), kExitUsage);
    if (!parser.isSet(outputOption) || parser.value(outputOption).isEmpty())
        return fail(QStringLiteral("usage"), QStringLiteral("missing -o DIR (see --help)"), kExitUsage);
    arguments->project = projectMode ? parser.value(projectOption) : QString();
    arguments->outputDir = parser.value(outputOption);
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(quietMessages);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("charcolino-sketch"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CHARCOLINO_VERSION));

    QCommandLineParser parser;
    Arguments arguments;
    if (const std::optional<int> status = readArguments(parser, &arguments))
        return *status;
    if (!arguments.project.isEmpty())
        return extractProject(arguments.project, arguments.outputDir);
    QString clash;
    if (arguments.photos.size() > 1 && batchFolderNames(arguments.photos, &clash).isEmpty())
        return fail(QStringLiteral("usage"), clash, kExitUsage);
    // libpng prints its errors itself: standard error stays silenced while photos
    // are read, the tool's own lines go to where it was.
    const SilencedStderr quiet;
    ToolConsole::setDescriptor(quiet.original());
    return sketchPhotos(arguments.photos, arguments.outputDir,
                        arguments.fullSize ? PhotoSize::Full : PhotoSize::Imported)
               ? 0
               : kExitFailure;
}
