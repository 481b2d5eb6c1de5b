// Pictures that stop short, of every format read here, and the memory a picture
// accepted takes: run through the tool as a separate process, so that the heap it
// starts with can be set (glibc fills every block it hands out with the byte a
// MALLOC_PERTURB_ value gives).
#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <sys/resource.h>

#include "imageio/ImageFile.h"
#include "support/ImportTestFiles.h"

using namespace ImportTestFiles;

namespace {

QByteArray encoded(const QImage& picture, const char* format, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.write(picture);
    return bytes;
}

void append16(QByteArray& out, int v) { out.append(char(v & 0xff)).append(char((v >> 8) & 0xff)); }
void append32(QByteArray& out, quint32 v)
{
    append16(out, int(v & 0xffff));
    append16(out, int(v >> 16));
}

// An uncompressed TGA 2.0 file (the kind Qt reads), rows top to bottom.
QByteArray tgaBytes(const QImage& picture)
{
    QByteArray out(18, '\0');
    out[2] = 2;
    out[12] = char(picture.width() & 0xff);
    out[13] = char(picture.width() >> 8);
    out[14] = char(picture.height() & 0xff);
    out[15] = char(picture.height() >> 8);
    out[16] = 24;
    out[17] = 0x20;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb p = picture.pixel(x, y);
            out.append(char(qBlue(p))).append(char(qGreen(p))).append(char(qRed(p)));
        }
    return out + QByteArray(8, '\0') + QByteArray("TRUEVISION-XFILE.", 17) + QByteArray(1, '\0');
}

// A GIF of the picture's first 256 colours, its codes 9 bits wide (a clear code
// before the table would grow).
QByteArray gifBytes(const QImage& picture)
{
    const QImage indexed = picture.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
    QByteArray out("GIF89a");
    append16(out, indexed.width());
    append16(out, indexed.height());
    out.append(char(0xf7)).append('\0').append('\0');
    const QList<QRgb> table = indexed.colorTable();
    for (int i = 0; i < 256; ++i) {
        const QRgb c = i < table.size() ? table[i] : 0;
        out.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
    }
    out.append(',');
    append16(out, 0);
    append16(out, 0);
    append16(out, indexed.width());
    append16(out, indexed.height());
    out.append('\0').append(char(8));
    QByteArray data;
    quint32 bits = 0;
    int count = 0;
    const auto put = [&](int code) {
        bits |= quint32(code) << count;
        for (count += 9; count >= 8; count -= 8, bits >>= 8)
            data.append(char(bits & 0xff));
    };
    int run = 0;
    put(256);
    for (int y = 0; y < indexed.height(); ++y)
        for (int x = 0; x < indexed.width(); ++x, ++run) {
            if (run == 254) {
                put(256);
                run = 0;
            }
            put(indexed.pixelIndex(x, y));
        }
    put(257);
    if (count > 0)
        data.append(char(bits & 0xff));
    for (qsizetype at = 0; at < data.size(); at += 255) {
        const qsizetype n = std::min<qsizetype>(255, data.size() - at);
        out.append(char(n)).append(data.mid(at, n));
    }
    return out + QByteArray(1, '\0') + ";";
}

// An 8-bit BMP coded in runs of one pixel, rows ended by their own code.
QByteArray rle8BmpBytes(const QImage& picture)
{
    const QImage indexed = picture.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
    QByteArray runs;
    for (int y = indexed.height() - 1; y >= 0; --y) {
        for (int x = 0; x < indexed.width(); ++x)
            runs.append(char(1)).append(char(indexed.pixelIndex(x, y)));
        runs.append('\0').append('\0');
    }
    runs.append('\0').append(char(1));
    const quint32 offset = 14 + 40 + 256 * 4;
    QByteArray out("BM");
    append32(out, offset + quint32(runs.size()));
    append32(out, 0);
    append32(out, offset);
    append32(out, 40);
    append32(out, quint32(indexed.width()));
    append32(out, quint32(indexed.height()));
    append16(out, 1);
    append16(out, 8);
    append32(out, 1);  // run-length coded
    append32(out, quint32(runs.size()));
    append32(out, 0);
    append32(out, 0);
    append32(out, 256);
    append32(out, 0);
    const QList<QRgb> table = indexed.colorTable();
    for (int i = 0; i < 256; ++i) {
        const QRgb c = i < table.size() ? table[i] : 0;
        out.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c))).append('\0');
    }
    return out + runs;
}

struct ToolRun {
    int exitCode = -1;
    QStringList lines;  // standard error, sorted (photos of a batch finish in any order)
};

ToolRun runTool(const QStringList& arguments, const QString& perturb)
{
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!perturb.isEmpty())
        environment.insert(QStringLiteral("MALLOC_PERTURB_"), perturb);
    tool.setProcessEnvironment(environment);
    tool.start(QStringLiteral(CHARCOLINO_SKETCH_TOOL), arguments);
    ToolRun run;
    if (!tool.waitForFinished(120000) || tool.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = tool.exitCode();
    run.lines = QString::fromLocal8Bit(tool.readAllStandardError()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    run.lines.sort();
    return run;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QString kCut = QStringLiteral("warning: the picture is incomplete (truncated file)");
const QString kDamaged = QStringLiteral("cannot be decoded: the file is damaged or incomplete");

}  // namespace

// Every format, whole and cut: the same files out whatever the heap held, a
// whole file without a word, a cut one read as far as it goes with the warning
// (BMP rows not read grey) or refused as damaged.
TEST(CutPicture, EveryFormatGivesTheSameFilesWhateverTheHeapHeld)
{
    QTemporaryDir dir;
    const QImage photo = photoLikePicture(61, 43);
    const QImage mono = photo.convertToFormat(QImage::Format_Mono);
    struct Format {
        const char* name;  // the file's name; its suffix tells the format
        QByteArray bytes;
        const char* cutLine;  // what the cut file says: kCut or kDamaged
    };
    // Each file's name is unique without its suffix: the batch names its folder so.
    const Format formats[] = {
        {"rgb.bmp", encoded(photo, "bmp"), "cut"},
        {"indexed.bmp", encoded(photo.convertToFormat(QImage::Format_Indexed8), "bmp"), "cut"},
        {"mono.bmp", encoded(mono, "bmp"), "cut"},
        {"runs.bmp", rle8BmpBytes(photo), "cut"},
        {"gif.gif", gifBytes(photo), "cut"},
        {"ico.ico", encoded(photoLikePicture(32, 32), "ico"), "damaged"},
        {"pbm.pbm", encoded(mono, "pbm"), "damaged"},
        {"pgm.pgm", encoded(photo.convertToFormat(QImage::Format_Grayscale8), "pgm"), "damaged"},
        {"ppm.ppm", encoded(photo, "ppm"), "damaged"},
        {"xbm.xbm", encoded(mono, "xbm"), "cut"},
        {"xpm.xpm", encoded(photo.convertToFormat(QImage::Format_Indexed8), "xpm"), "damaged"},
        {"lossy.webp", encoded(photo, "webp", 80), "damaged"},
        {"lossless.webp", encoded(photo, "webp", 100), "damaged"},
        {"tif.tif", encoded(photo, "tif"), "damaged"},
        {"palette.tif", encoded(photo.convertToFormat(QImage::Format_Indexed8), "tif"), "damaged"},
        {"tga.tga", tgaBytes(photo), "damaged"},  // its footer, the only sign of a TGA, is gone
        {"png.png", encoded(photo, "png"), "damaged"},
        {"jpg.jpg", jpegBytes(photo), "cut"},
    };
    QStringList photos;
    QStringList expected;
    for (const Format& f : formats) {
        ASSERT_FALSE(f.bytes.isEmpty()) << f.name;
        const QString whole = dir.filePath(QStringLiteral("whole-") + f.name);
        const QString cut = dir.filePath(QStringLiteral("cut-") + f.name);
        ASSERT_TRUE(writeFile(whole, f.bytes));
        ASSERT_TRUE(writeFile(cut, f.bytes.left(f.bytes.size() * 3 / 5)));
        photos << whole << cut;
        expected << QStringLiteral("charcolino-sketch: %1: %2")
                        .arg(cut, QLatin1String(f.cutLine) == QLatin1String("cut") ? kCut : kDamaged);
    }
    expected.sort();

    const QString outA = dir.filePath("a");
    const QString outB = dir.filePath("b");
    const ToolRun a = runTool(photos + QStringList{"-o", outA}, QStringLiteral("85"));
    const ToolRun b = runTool(photos + QStringList{"-o", outB}, QStringLiteral("170"));
    EXPECT_EQ(a.exitCode, 1);  // the damaged ones
    EXPECT_EQ(a.lines.join("\n").toStdString(), expected.join("\n").toStdString());
    EXPECT_EQ(b.lines.join("\n").toStdString(), expected.join("\n").toStdString());
    for (const QString& photo : photos) {
        SCOPED_TRACE(photo.toStdString());
        const QString name = QFileInfo(photo).completeBaseName() + "/original.png";
        const QByteArray first = fileBytes(outA + "/" + name);
        EXPECT_EQ(first, fileBytes(outB + "/" + name));
        if (QFileInfo(photo).fileName().startsWith("whole-")) {
            EXPECT_FALSE(first.isEmpty());
        }
    }

    // The BMP's rows are stored bottom first: the top rows of the cut one are the
    // ones never read, grey.
    const QImage cutBmp(outA + "/cut-rgb/original.png");
    ASSERT_EQ(cutBmp.size(), photo.size());
    for (int x = 0; x < cutBmp.width(); ++x)
        ASSERT_EQ(cutBmp.pixel(x, 0), qRgb(0x80, 0x80, 0x80)) << x;
    const QImage wholeBmp(outA + "/whole-rgb/original.png");
    EXPECT_EQ(cutBmp.pixel(5, cutBmp.height() - 1), wholeBmp.pixel(5, wholeBmp.height() - 1));
}

// Damaged files of formats with a signature (or, for TGA, a header and a name)
// say so rather than that the format is unknown; a text file does not.
TEST(CutPicture, DamagedFilesOfAKnownFormatSayDamaged)
{
    QTemporaryDir dir;
    const QByteArray webp = encoded(photoLikePicture(40, 30), "webp", 80);
    QByteArray damagedWebp = webp;
    damagedWebp.replace(12, 4, "VP9 ");  // no chunk Qt knows
    QByteArray damagedTiff = encoded(photoLikePicture(40, 30), "tif").left(8);  // an IFD offset to nowhere
    struct Case {
        const char* name;
        QByteArray bytes;
        QString line;
    };
    const Case cases[] = {
        {"photo.webp", damagedWebp, kDamaged},
        {"photo.tif", damagedTiff, kDamaged},
        {"photo.tga", tgaBytes(photoLikePicture(40, 30)).left(500), kDamaged},
        {"rows.tga", tgaBytes(photoLikePicture(40, 30)).remove(500, 1800), kDamaged},  // footer kept, rows gone
        {"letter.tga", "Dear reader, this is not a picture at all.\n", "not a picture file of a known format"},
        {"letter.webp", "Dear reader, this is not a picture at all.\n", "not a picture file of a known format"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(c.name);
        ASSERT_TRUE(writeFile(path, c.bytes));
        const ToolRun run = runTool({path, "-o", dir.filePath("out")}, QString());
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.lines, QStringList{QStringLiteral("charcolino-sketch: %1: %2").arg(path, c.line)});
    }
}

// A 38-byte lossless WebP of one colour declaring 10000 x 10000 pixels decodes
// to 400 MB: refused from its header, the tool's peak far below its bound; the
// largest WebP accepted keeps the tool under 420 MB too.
TEST(CutPicture, APictureAcceptedOrRefusedKeepsTheToolUnder420MB)
{
    QTemporaryDir dir;
    QImage flat(16, 16, QImage::Format_RGB32);
    flat.fill(0xff336699u);
    const QByteArray small = encoded(flat, "webp", 100);
    ASSERT_EQ(small.mid(12, 4), QByteArray("VP8L"));
    // The lossless header: 14 bits width - 1, 14 bits height - 1, then flags.
    const auto sized = [&small](int side) {
        QByteArray bytes = small;
        quint32 bits = quint32(quint8(bytes[21])) | quint32(quint8(bytes[22])) << 8 |
                       quint32(quint8(bytes[23])) << 16 | quint32(quint8(bytes[24])) << 24;
        bits = (bits & 0xf0000000u) | quint32(side - 1) | quint32(side - 1) << 14;
        for (int i = 0; i < 4; ++i)
            bytes[21 + i] = char((bits >> (8 * i)) & 0xff);
        return bytes;
    };
    const QString huge = dir.filePath("huge.webp");
    const QString largest = dir.filePath("largest.webp");
    ASSERT_TRUE(writeFile(huge, sized(10000)));
    ASSERT_TRUE(writeFile(largest, sized(5800)));  // 33.6 megapixels: 269 MB decoded, with the decoder's own copy

    const ToolRun refused = runTool({huge, "-o", dir.filePath("huge")}, QString());
    EXPECT_EQ(refused.exitCode, 1);
    ASSERT_EQ(refused.lines.size(), 1);
    EXPECT_TRUE(refused.lines[0].contains("picture too large: 10000 x 10000 pixels")) << refused.lines[0].toStdString();
    const ToolRun accepted = runTool({largest, "-o", dir.filePath("largest")}, QString());
    EXPECT_EQ(accepted.exitCode, 0) << accepted.lines.join('\n').toStdString();
    EXPECT_EQ(QImage(dir.filePath("largest/original.png")).pixel(1023, 1023), 0xff336699u);

    rusage usage{};
    ASSERT_EQ(::getrusage(RUSAGE_CHILDREN, &usage), 0);
    EXPECT_LT(usage.ru_maxrss, 420L * 1000 * 1000 / 1024);  // kilobytes
}

// A BMP whose pixel data offset lies past the end of the file: what the decoder
// finds there is nothing, as for a file cut short, never other bytes of the file.
TEST(CutPicture, ABmpWhosePixelsLiePastItsEndIsReadAsCutShort)
{
    QTemporaryDir dir;
    QImage picture(7, 5, QImage::Format_RGB888);
    picture.fill(QColor(10, 200, 30));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly) && picture.save(&buffer, "BMP"));
    bytes.append(QByteArray(200, char(0x5a)));  // enough bytes after the pixels for a wrong read
    for (const quint32 offset : {quint32(bytes.size() + 1), 0x75383e9eu}) {
        SCOPED_TRACE(offset);
        QByteArray forged = bytes;
        for (int i = 0; i < 4; ++i)
            forged[10 + i] = char((offset >> (8 * i)) & 0xff);
        const QString path = dir.filePath(QStringLiteral("past-end.bmp"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(forged) == forged.size());
        file.close();
        const ImageFileResult read = ImageFile::read(path);
        ASSERT_TRUE(read.ok()) << read.error.toStdString();
        EXPECT_EQ(read.warning, QStringLiteral("the picture is incomplete (truncated file)"));
        const QImage got = read.image.bitmap.convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < got.height(); ++y)
            for (int x = 0; x < got.width(); ++x)
                ASSERT_EQ(got.pixel(x, y), 0xff808080u) << x << ", " << y;
    }
}
