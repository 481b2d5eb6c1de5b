// charcolino-sketch: the photo import and the pencil sketch filter of the painting
// program, without a window.
//   charcolino-sketch PHOTO -o DIR            original.png, black.png, color.png
//   charcolino-sketch --project FILE -o DIR   original.png, working.png, black.png,
//                                             color.png from a saved project
#include <QBuffer>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <vector>

#include "platform/ReplaceFile.h"
#include "tools/PhotoSketches.h"
#include "tools/ProjectImages.h"
#include "tools/SilencedStderr.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void printLine(const QString& text) { std::fputs((text + QLatin1Char('\n')).toLocal8Bit().constData(), stderr); }

// One line on standard error: the tool, what it was about, why it failed.
int fail(const QString& subject, const QString& reason, int code = kExitFailure)
{
    printLine(QStringLiteral("charcolino-sketch: %1: %2").arg(subject, reason));
    return code;
}

// The tool speaks only in its own lines: the warnings of Qt and of the image
// decoders it reaches through Qt (libpng, libjpeg) are dropped, and a fatal
// message, which ends the program, is one line too.
void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtFatalMsg)
        printLine(QStringLiteral("charcolino-sketch: %1").arg(message));
}

QByteArray pngBytes(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return QByteArray();
    return bytes;
}

struct Output {
    const char* name;
    QImage image;
};

// Encodes every image first, so that nothing is written when one cannot be; then
// creates DIR and replaces each file whole.
int writeOutputs(const QString& outputDir, const std::vector<Output>& outputs)
{
    std::vector<QByteArray> pngs;
    for (const Output& output : outputs) {
        pngs.push_back(pngBytes(output.image));
        if (pngs.back().isEmpty())
            return fail(QString::fromLatin1(output.name), QStringLiteral("cannot encode the PNG"));
    }
    if (!QDir().mkpath(outputDir) || !QFileInfo(outputDir).isDir())
        return fail(outputDir, QStringLiteral("cannot create the output directory"));
    const QDir dir(outputDir);
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const QString path = dir.filePath(QString::fromLatin1(outputs[i].name));
        const QByteArray& png = pngs[i];
        QString reason;
        if (!replaceFile(path, [&png](QFileDevice& file) { return writeAll(file, png.constData(), png.size()); },
                         &reason))
            return fail(path, reason.isEmpty() ? QStringLiteral("cannot be written") : reason);
    }
    return 0;
}

int sketchPhoto(const QString& photo, const QString& outputDir)
{
    PhotoSketches sketches;
    QString error;
    bool made;
    {
        const SilencedStderr quiet;  // libpng prints its errors itself
        made = sketches.make(photo, &error);
    }
    if (!made)
        return fail(photo, error);
    if (!sketches.warning().isEmpty())
        printLine(QStringLiteral("charcolino-sketch: %1: warning: %2").arg(photo, sketches.warning()));
    return writeOutputs(outputDir, {{"original.png", sketches.original()},
                                    {"black.png", sketches.black()},
                                    {"color.png", sketches.color()}});
}

int extractProject(const QString& project, const QString& outputDir)
{
    ProjectImages images;
    QString error;
    if (!images.read(project, &error))
        return fail(project, error);
    return writeOutputs(outputDir, {{"original.png", images.original()},
                                    {"working.png", images.working()},
                                    {"black.png", images.black()},
                                    {"color.png", images.color()}});
}

}  // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(quietMessages);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("charcolino-sketch"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
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
        "--project FILE -o DIR: FILE is a project file (projectN.dat in the\n"
        "program's data folder). DIR receives four RGB PNG files of the picture's\n"
        "size:\n"
        "  original.png  the photo the project started from\n"
        "  working.png   the painted working image\n"
        "  black.png     the black pencil sketch, computed again from the photo\n"
        "  color.png     the colour pencil sketch, computed again from the photo\n"
        "\n"
        "Each PNG is opaque and holds the colour stored for each pixel, which is\n"
        "what the program shows (it draws its pictures without blending).\n"
        "DIR is created when missing; files of these names in it are replaced.\n"
        "On failure one line on standard error names the file and the reason, the\n"
        "exit status is 1, and nothing is written when the photo or project file\n"
        "cannot be used. Wrong arguments give exit status 2. A JPEG photo that\n"
        "stops short is still used (its missing part grey, as the program shows\n"
        "it) with one warning line on standard error and exit status 0."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("PHOTO"),
                                 QStringLiteral("The photo: JPEG, PNG, HEIC, AVIF, WebP, TIFF or another format read."),
                                 QStringLiteral("PHOTO -o DIR | --project FILE -o DIR"));
    const QCommandLineOption outputOption({QStringLiteral("o"), QStringLiteral("output")},
                                          QStringLiteral("Write the PNG files into <DIR>."), QStringLiteral("DIR"));
    const QCommandLineOption projectOption(QStringLiteral("project"),
                                           QStringLiteral("Read the project file <FILE> instead of a photo."),
                                           QStringLiteral("FILE"));
    parser.addOption(outputOption);
    parser.addOption(projectOption);
    if (!parser.parse(QCoreApplication::arguments()))
        return fail(QStringLiteral("usage"), parser.errorText() + QStringLiteral(" (see --help)"), kExitUsage);
    if (parser.isSet(helpOption) || parser.isSet(QStringLiteral("help-all")))
        parser.showHelp(0);

    const QStringList photos = parser.positionalArguments();
    const bool projectMode = parser.isSet(projectOption);
    if (projectMode && (!photos.isEmpty() || parser.value(projectOption).isEmpty()))
        return fail(QStringLiteral("usage"), QStringLiteral("give either PHOTO or --project FILE (see --help)"),
                    kExitUsage);
    if (!projectMode && photos.size() != 1)
        return fail(QStringLiteral("usage"), QStringLiteral("give exactly one PHOTO and -o DIR (see --help)"),
                    kExitUsage);
    if (!parser.isSet(outputOption) || parser.value(outputOption).isEmpty())
        return fail(QStringLiteral("usage"), QStringLiteral("missing -o DIR (see --help)"), kExitUsage);
    const QString outputDir = parser.value(outputOption);

    if (projectMode)
        return extractProject(parser.value(projectOption), outputDir);
    return sketchPhoto(photos.first(), outputDir);
}
