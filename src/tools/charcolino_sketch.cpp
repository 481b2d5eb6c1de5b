// charcolino-sketch PHOTO -o DIR: the photo import and the pencil sketch filter of
// the painting program, without a window. Writes DIR/original.png, DIR/black.png
// and DIR/color.png.
#include <QBuffer>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <cstdio>

#include "tools/PhotoSketches.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// One line on standard error: the tool, what it was about, why it failed.
int fail(const QString& subject, const QString& reason, int code = kExitFailure)
{
    const QString line = QStringLiteral("charcolino-sketch: %1: %2\n").arg(subject, reason);
    std::fputs(line.toLocal8Bit().constData(), stderr);
    return code;
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

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("charcolino-sketch"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Turns a photo into a black pencil sketch and a colour pencil sketch.\n"
        "\n"
        "The photo is imported as the painting program imports it: turned upright\n"
        "by its EXIF orientation and scaled down to at most 1024 pixels a side.\n"
        "DIR receives three RGBA PNG files of the picture's size:\n"
        "  original.png  the imported photo\n"
        "  black.png     the black pencil sketch\n"
        "  color.png     the colour pencil sketch\n"
        "DIR is created when missing; files of these names in it are replaced.\n"
        "On failure one line on standard error names the file and the reason, the\n"
        "exit status is 1, and nothing is written when the photo cannot be used."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("PHOTO"),
                                 QStringLiteral("The photo: JPEG, PNG or another format Qt can read."),
                                 QStringLiteral("PHOTO -o DIR"));
    const QCommandLineOption outputOption({QStringLiteral("o"), QStringLiteral("output")},
                                          QStringLiteral("Write the three PNG files into <DIR>."),
                                          QStringLiteral("DIR"));
    parser.addOption(outputOption);
    parser.process(app);

    const QStringList photos = parser.positionalArguments();
    if (photos.size() != 1)
        return fail(QStringLiteral("usage"), QStringLiteral("give exactly one PHOTO and -o DIR (see --help)"),
                    kExitUsage);
    if (!parser.isSet(outputOption) || parser.value(outputOption).isEmpty())
        return fail(QStringLiteral("usage"), QStringLiteral("missing -o DIR (see --help)"), kExitUsage);
    const QString photo = photos.first();
    const QString outputDir = parser.value(outputOption);

    PhotoSketches sketches;
    QString error;
    if (!sketches.make(photo, &error))
        return fail(photo, error);

    struct Output {
        const char* name;
        QByteArray png;
    };
    const Output outputs[] = {
        {"original.png", pngBytes(sketches.original())},
        {"black.png", pngBytes(sketches.black())},
        {"color.png", pngBytes(sketches.color())},
    };
    for (const Output& output : outputs)
        if (output.png.isEmpty())
            return fail(QString::fromLatin1(output.name), QStringLiteral("cannot encode the PNG"));

    if (!QDir().mkpath(outputDir) || !QFileInfo(outputDir).isDir())
        return fail(outputDir, QStringLiteral("cannot create the output directory"));
    const QDir dir(outputDir);
    for (const Output& output : outputs) {
        const QString path = dir.filePath(QString::fromLatin1(output.name));
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(output.png) != output.png.size() || !file.commit())
            return fail(path, file.errorString().isEmpty() ? QStringLiteral("cannot be written") : file.errorString());
    }
    return 0;
}
