// The largest picture of each costly kind that is accepted keeps the tool's peak
// memory under 420 MB, with content that does not compress to nothing, and the
// next size up is refused from its headers. The tool runs as a child process
// whose own peak the wait for it reports.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "support/ImportTestFiles.h"

using namespace ImportTestFiles;

namespace {

constexpr long kToolBoundKb = 420L * 1000 * 1000 / 1024;

struct Peak {
    int exitCode = -1;
    long maxKb = 0;
    QString errors;
};

// Runs the tool on `photo` and waits for that child alone: its rusage is its own peak.
Peak runTool(const QString& photo, const QString& outDir, const QString& errorsPath)
{
    const QByteArray program = QByteArrayLiteral(CHARCOLINO_SKETCH_TOOL);
    const QByteArray photoArg = QFile::encodeName(photo);
    const QByteArray outArg = QFile::encodeName(outDir);
    const QByteArray errorsArg = QFile::encodeName(errorsPath);
    char* argv[] = {const_cast<char*>(program.constData()), const_cast<char*>(photoArg.constData()),
                    const_cast<char*>("-o"), const_cast<char*>(outArg.constData()), nullptr};
    Peak peak;
    const pid_t child = ::fork();
    if (child < 0)
        return peak;
    if (child == 0) {
        const int fd = ::open(errorsArg.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd >= 0)
            ::dup2(fd, 2);
        ::execv(argv[0], argv);
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status))
        return peak;
    peak.exitCode = WEXITSTATUS(status);
    peak.maxKb = usage.ru_maxrss;
    QFile errors(errorsPath);
    if (errors.open(QIODevice::ReadOnly))
        peak.errors = QString::fromLocal8Bit(errors.readAll()).trimmed();
    return peak;
}

// A photo's worth of detail: gradients across and down, and noise that a
// lossless coder cannot take away (a fixed sequence, so the files are the same
// at every run).
QImage realisticPicture(int width, int height, bool alpha)
{
    QImage picture(width, height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    quint32 state = 12345;
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;
            const int noise = int(state >> 28) - 8;
            const int r = std::clamp(int(qint64(x) * 255 / width) + noise, 0, 255);
            const int g = std::clamp(128 + noise * 2, 0, 255);
            const int b = std::clamp(int(qint64(y) * 255 / height) - noise, 0, 255);
            row[x] = qRgba(r, g, b, alpha ? 160 + noise : 255);
        }
    }
    return picture;
}

bool writePicture(const QImage& picture, const QString& path, const char* format, int quality = -1,
                  bool progressive = false)
{
    QImageWriter writer(path, format);
    writer.setQuality(quality);
    writer.setProgressiveScanWrite(progressive);
    return writer.write(picture);
}

bool runProgram(const QString& name, const QStringList& arguments)
{
    QProcess process;
    process.start(name, arguments);
    return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A simple lossless WebP's header (after its 0x2f signature byte): 14 bits width
// - 1, 14 bits height - 1, then flags.
QByteArray withWebpLosslessSize(QByteArray bytes, int side)
{
    quint32 bits = quint32(quint8(bytes[21])) | quint32(quint8(bytes[22])) << 8 | quint32(quint8(bytes[23])) << 16 |
                   quint32(quint8(bytes[24])) << 24;
    bits = (bits & 0xf0000000u) | quint32(side - 1) | quint32(side - 1) << 14;
    for (int i = 0; i < 4; ++i)
        bytes[21 + i] = char((bits >> (8 * i)) & 0xff);
    return bytes;
}

// A little-endian TIFF (as Qt and tiffcp write here) with the width and length
// in its first directory replaced.
QByteArray withTiffSize(QByteArray bytes, int side)
{
    const auto at = [&bytes](qsizetype i, int size) {
        quint32 v = 0;
        for (int k = size - 1; k >= 0; --k)
            v = (v << 8) | quint8(bytes[i + k]);
        return v;
    };
    const qsizetype directory = qsizetype(at(4, 4));
    const int entries = int(at(directory, 2));
    for (int e = 0; e < entries; ++e) {
        const qsizetype entry = directory + 2 + 12 * e;
        const quint32 tag = at(entry, 2);
        if (tag != 256 && tag != 257)
            continue;
        const int size = at(entry + 2, 2) == 3 ? 2 : 4;
        for (int k = 0; k < size; ++k)
            bytes[entry + 8 + k] = char((quint32(side) >> (8 * k)) & 0xff);
    }
    return bytes;
}

struct Row {
    const char* name;
    const char* suffix;
    const char* needs;  // a program that makes the file, or nullptr
    int side;           // the largest square accepted
    // Writes the picture of `side` to `path`; false when it could not.
    std::function<bool(const QString& path, int side, const QString& scratch)> make;
    // The file a size up, from the accepted one's bytes (its header changed).
    std::function<QByteArray(const QByteArray& accepted)> larger;
};

}  // namespace

TEST(DecodePeak, TheLargestAcceptedPictureOfEachCostlyKindKeepsTheToolUnder420MB)
{
    const std::vector<Row> rows = {
        // The reader takes the file whole and the decoder holds its own ARGB words.
        {"lossless WebP", "webp", "cwebp", 5300,
         [](const QString& path, int side, const QString& scratch) {
             return writePicture(realisticPicture(side, side, false), scratch, "png", 100) &&
                    runProgram("cwebp", {"-quiet", "-lossless", "-z", "0", scratch, "-o", path});
         },
         [](const QByteArray& accepted) { return withWebpLosslessSize(accepted, 5800); }},
        // Every coefficient is held, whatever size it is decoded at: 3 bytes a
        // pixel at 4:2:0, 6 at 4:4:4.
        {"progressive JPEG 4:2:0", "jpg", nullptr, 9400,
         [](const QString& path, int side, const QString&) {
             return writePicture(realisticPicture(side, side, false), path, "jpeg", 90, true);
         },
         [](const QByteArray& accepted) { return withJpegFrameSize(accepted, 9700, 9700); }},
        {"progressive JPEG 4:4:4", "jpg", "convert", 6600,
         [](const QString& path, int side, const QString& scratch) {
             return writePicture(realisticPicture(side, side, false), scratch + ".png", "png", 100) &&
                    runProgram("convert", {scratch + ".png", "-interlace", "Plane", "-sampling-factor", "1x1",
                                           "-quality", "90", path}) &&
                    QFile::remove(scratch + ".png");
         },
         [](const QByteArray& accepted) { return withJpegFrameSize(accepted, 7000, 7000); }},
        // A compressed picture in one strip: the strip is held as stored and decoded.
        {"LZW TIFF in one strip", "tif", "tiffcp", 5300,
         [](const QString& path, int side, const QString& scratch) {
             return writePicture(realisticPicture(side, side, false), scratch, "tif") &&
                    runProgram("tiffcp", {"-c", "lzw", "-r", QString::number(side), scratch, path});
         },
         [](const QByteArray& accepted) { return withTiffSize(accepted, 6000); }},
    };
    QTemporaryDir dir;
    QStringList skipped;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.needs && QStandardPaths::findExecutable(QString::fromLatin1(row.needs)).isEmpty()) {
            skipped << QStringLiteral("%1 (%2 is not installed)").arg(row.name, row.needs);
            continue;
        }
        const QString accepted = dir.filePath(QStringLiteral("accepted.") + QLatin1String(row.suffix));
        ASSERT_TRUE(row.make(accepted, row.side, dir.filePath(QStringLiteral("scratch"))));
        QFile::remove(dir.filePath(QStringLiteral("scratch")));
        const Peak peak = runTool(accepted, dir.filePath(QStringLiteral("out")), dir.filePath("errors"));
        EXPECT_EQ(peak.exitCode, 0) << peak.errors.toStdString();
        EXPECT_GT(peak.maxKb, 0);
        EXPECT_LT(peak.maxKb, kToolBoundKb);
        std::printf("%s, %d x %d, %lld bytes: peak %ld KB\n", row.name, row.side, row.side,
                    QFileInfo(accepted).size(), peak.maxKb);
        EXPECT_EQ(QImage(dir.filePath(QStringLiteral("out/original.png"))).size(), QSize(1024, 1024));

        const QString larger = dir.filePath(QStringLiteral("larger.") + QLatin1String(row.suffix));
        ASSERT_TRUE(writeFile(larger, row.larger(fileBytes(accepted))));
        QFile::remove(accepted);
        const Peak refused = runTool(larger, dir.filePath(QStringLiteral("out2")), dir.filePath("errors"));
        EXPECT_EQ(refused.exitCode, 1);
        EXPECT_TRUE(refused.errors.contains(QStringLiteral("picture too large: "))) << refused.errors.toStdString();
        QFile::remove(larger);
    }
    if (!skipped.isEmpty())
        GTEST_SKIP() << "rows not run: " << skipped.join(", ").toStdString();
}
