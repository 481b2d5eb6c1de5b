// The photo formats besides JPEG: each opens upright as the same photo saved as an
// oriented JPEG does, HEIF files by their own header, and a truncated file of each
// format gives one line; colour profiles and HDR pictures of every format give
// their colours in sRGB. Files are made here: HEIC and AVIF by libheif's encoders,
// WebP by cwebp (from the oriented JPEG), TIFF by Qt with tiffset's orientation tag,
// PNG by Qt with an eXIf chunk.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QMimeData>
#include <QUrl>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <bitset>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <libheif/heif.h>
#include <string>

#include "app/CharcolinoViewController.h"
#include "app/MainWindow.h"
#include "project/UprightImage.h"
#include "imageio/HeifBrand.h"
#include "imageio/HeifModule.h"
#include "imageio/ImageFile.h"
#include "support/GlContextTest.h"
#include "support/HeifColourFiles.h"
#include "support/ImportTestFiles.h"

using namespace ImportTestFiles;

namespace {

// The picture every file holds as stored: asymmetric, so each of the eight
// orientations gives a different upright picture.
QImage storedPicture() { return quadrantPicture(64, 32); }

QByteArray encoded(const QImage& picture, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, format);
    return bytes;
}

// A little-endian EXIF block with a few entries, the orientation not the first.
QByteArray littleEndianExif(int orientation)
{
    const std::uint16_t entries[][6] = {
        // tag, type SHORT, count (low, high), value, pad
        {0x0100, 3, 1, 0, 64, 0},
        {0x0112, 3, 1, 0, std::uint16_t(orientation), 0},
        {0x0128, 3, 1, 0, 2, 0},
    };
    QByteArray exif("II\x2a\0\x08\0\0\0", 8);
    exif.append(char(3)).append(char(0));
    for (const auto& entry : entries)
        for (const std::uint16_t v : entry)
            exif.append(char(v & 0xff)).append(char(v >> 8));
    exif.append(QByteArray(4, '\0'));
    return exif;
}

// The PNG with an eXIf chunk before its image data.
QByteArray withPngExif(const QByteArray& png, const QByteArray& exif)
{
    const qsizetype idat = png.indexOf("IDAT") - 4;
    QByteArray chunk;
    appendPngChunk(chunk, "eXIf", exif);
    return png.left(idat) + chunk + png.mid(idat);
}

// Encodes `picture` as HEIC or AVIF with the orientation as the file's own
// turn and mirror boxes (the stored pixels are as given). Empty when no encoder.
QByteArray heifBytes(const QImage& picture, heif_compression_format compression, int orientation,
                     const QImage& primaryAfter = QImage())
{
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    QByteArray bytes;
    if (heif_context_get_encoder_for_format(context, compression, &encoder).code != heif_error_Ok) {
        heif_context_free(context);
        return bytes;
    }
    heif_encoder_set_lossy_quality(encoder, 90);
    const auto add = [&](const QImage& source, int turn) {
        const QImage rgb = source.convertToFormat(QImage::Format_RGB888);
        heif_image* image = nullptr;
        heif_image_create(rgb.width(), rgb.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image);
        heif_image_add_plane(image, heif_channel_interleaved, rgb.width(), rgb.height(), 8);
        int stride = 0;
        uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
        for (int y = 0; y < rgb.height(); ++y)
            std::memcpy(plane + y * stride, rgb.constScanLine(y), size_t(rgb.width()) * 3);
        heif_encoding_options* options = heif_encoding_options_alloc();
        options->image_orientation = heif_orientation(turn);
        heif_image_handle* handle = nullptr;
        const bool ok = heif_context_encode_image(context, image, encoder, options, &handle).code == heif_error_Ok;
        heif_encoding_options_free(options);
        heif_image_release(image);
        if (ok && !primaryAfter.isNull() && source == primaryAfter)
            heif_context_set_primary_image(context, handle);
        if (handle)
            heif_image_handle_release(handle);
        return ok;
    };
    bool ok = add(picture, orientation);
    if (ok && !primaryAfter.isNull())
        ok = add(primaryAfter, 1);
    heif_encoder_release(encoder);
    heif_writer writer{1, [](heif_context*, const void* data, size_t size, void* out) {
                           static_cast<QByteArray*>(out)->append(static_cast<const char*>(data), qsizetype(size));
                           return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
                       }};
    if (ok)
        heif_context_write(context, &writer, &bytes);
    heif_context_free(context);
    return bytes;
}

// The file with every image spatial extents box giving `size` (8 bytes).
QByteArray withIspe(QByteArray bytes, const QByteArray& size)
{
    for (qsizetype at = bytes.indexOf("ispe"); at > 0; at = bytes.indexOf("ispe", at + 4))
        bytes.replace(at + 8, 8, size);
    return bytes;
}

// The file with the HEVC sequence parameter set in its hvcC box giving another
// coded size. The unit keeps its length: its bits after the size are cut short,
// which does not matter to a reader that refuses it for its size.
QByteArray withSpsSize(QByteArray bytes, int width, int height)
{
    // hvcC: 23 bytes of configuration, then arrays of units (type, count, length, unit).
    qsizetype at = bytes.indexOf("hvcC") + 4 + 22;
    const int arrays = quint8(bytes[at++]);
    for (int a = 0; a < arrays; ++a) {
        const int type = bytes[at] & 0x3f;
        at += 3;  // type, count (one unit each here)
        const int length = (quint8(bytes[at]) << 8) | quint8(bytes[at + 1]);
        at += 2;
        if (type == 33) {
            // The payload's bits without emulation-prevention bytes.
            QByteArray raw;
            for (qsizetype i = at + 2; i < at + length; ++i)
                if (!(bytes[i] == 3 && raw.endsWith(QByteArray(2, '\0'))))
                    raw.append(bytes[i]);
            std::string bits;
            for (const char c : raw)
                for (int b = 7; b >= 0; --b)
                    bits += (c >> b) & 1 ? '1' : '0';
            // Identifiers, one sub-layer's profile, tier and level, the parameter set's
            // id and 4:2:0 chroma: the width starts at bit 108.
            const auto golomb = [](std::size_t v, std::size_t at, const std::string& in, std::string* out) {
                std::size_t zeros = 0;
                while (in[at + zeros] == '0')
                    ++zeros;
                std::string code;
                for (std::size_t x = v + 1; x; x >>= 1)
                    code.insert(code.begin(), x & 1 ? '1' : '0');
                *out += std::string(code.size() - 1, '0') + code;
                return at + 2 * zeros + 1;
            };
            std::string patched = bits.substr(0, 108);
            const std::size_t afterWidth = golomb(width, 108, bits, &patched);
            const std::size_t afterHeight = golomb(height, afterWidth, bits, &patched);
            patched += bits.substr(afterHeight);
            QByteArray unit = bytes.mid(at, 2);
            for (std::size_t i = 0; unit.size() < length; i += 8) {
                const char c = char(std::stoi(patched.substr(i, 8), nullptr, 2));
                if (unit.endsWith(QByteArray(2, '\0')) && quint8(c) <= 3)
                    unit.append('\3');
                unit.append(c);
            }
            bytes.replace(at, length, unit.left(length));
        }
        at += length;
    }
    return bytes;
}

// The AVIF with its sequence header (a reduced still-picture one, the first OBU
// after the temporal delimiter) allowing frames of side x side, in its first six
// bytes: the rest of the header no longer fits what comes after.
QByteArray withAv1FrameSize(QByteArray bytes, int side)
{
    const qsizetype at = bytes.indexOf(QByteArray("\x12\x00\x0a", 3), bytes.indexOf("mdat")) + 4;  // past its size
    const std::string kept = std::bitset<16>((quint8(bytes[at]) << 8) | quint8(bytes[at + 1])).to_string();
    const std::string size = std::bitset<15>(side - 1).to_string();
    const std::string bits = kept.substr(0, 10) + "11101110" + size + size;  // 15-bit sides
    for (int i = 0; i < 6; ++i)
        bytes[at + i] = char(std::stoi(bits.substr(8 * i, 8), nullptr, 2));
    return bytes;
}

class ImageFormatsTest : public ::testing::Test {
protected:
    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(writeFile(path, bytes));
        return path;
    }

    // Runs a tool that writes test files; false (with the test skipped, or failed
    // when the run must be complete) when it is not installed.
    bool run(const QString& tool, const QStringList& arguments)
    {
        const QString program = QStandardPaths::findExecutable(tool);
        if (program.isEmpty()) {
            missing = tool;
            return false;
        }
        QProcess process;
        process.start(program, arguments);
        const bool ok = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
                        process.exitCode() == 0;
        EXPECT_TRUE(ok) << tool.toStdString() << ": " << process.readAllStandardError().toStdString();
        return ok;
    }

    // Makes the photo in `format` with the EXIF `orientation`, from the stored
    // picture and its oriented JPEG; an empty path when it cannot be made here.
    QString make(const QString& format, int orientation, const QString& jpegPath)
    {
        const QString path = dir.filePath(QStringLiteral("o%1.%2").arg(orientation).arg(format));
        if (format == QLatin1String("heic") || format == QLatin1String("avif")) {
            const QByteArray bytes = heifBytes(
                storedPicture(), format == QLatin1String("heic") ? heif_compression_HEVC : heif_compression_AV1,
                orientation);
            if (bytes.isEmpty()) {
                missing = format + QStringLiteral(" encoder");
                return QString();
            }
            return write(QFileInfo(path).fileName(), bytes);
        }
        if (format == QLatin1String("webp"))
            return run(QStringLiteral("cwebp"), {QStringLiteral("-quiet"), QStringLiteral("-q"), QStringLiteral("95"),
                                                 QStringLiteral("-metadata"), QStringLiteral("exif"), jpegPath,
                                                 QStringLiteral("-o"), path})
                       ? path
                       : QString();
        if (format == QLatin1String("tif")) {
            write(QFileInfo(path).fileName(), encoded(storedPicture(), "TIFF"));
            return run(QStringLiteral("tiffset"), {QStringLiteral("-s"), QStringLiteral("274"),
                                                   QString::number(orientation), path})
                       ? path
                       : QString();
        }
        return write(QFileInfo(path).fileName(),
                     withPngExif(encoded(storedPicture(), "PNG"), littleEndianExif(orientation)));
    }

    void toolMissing()
    {
        if (glContextRequired())
            FAIL() << missing.toStdString() << " is missing, and CHARCOLINO_REQUIRE_GL=1 requires every format";
        GTEST_SKIP() << missing.toStdString() << " is missing";
    }

    QTemporaryDir dir;
    QString missing;
};

// Mean difference a channel between two pictures of the same size.
double meanDifference(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int column = 0; column < x.width(); ++column) {
            const QRgb p = x.pixel(column, row), q = y.pixel(column, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * x.width() * x.height());
}

}  // namespace

TEST_F(ImageFormatsTest, EveryFormatAndOrientationComesOutAsTheOrientedJpeg)
{
    const QByteArray jpeg = jpegBytes(storedPicture());
    for (const QString format : {"heic", "avif", "webp", "tif", "png"}) {
        for (int orientation = 1; orientation <= 8; ++orientation) {
            SCOPED_TRACE(QStringLiteral("%1 orientation %2").arg(format).arg(orientation).toStdString());
            const QString jpegPath = write(QStringLiteral("o%1.jpg").arg(orientation), withExifOrientation(jpeg, orientation));
            const ImageFileResult reference = ImageFile::read(jpegPath);
            ASSERT_TRUE(reference.ok());
            const QString path = make(format, orientation, jpegPath);
            if (path.isEmpty())
                return toolMissing();

            const ImageFileResult read = ImageFile::read(path);
            ASSERT_TRUE(read.ok()) << read.error.toStdString();
            EXPECT_TRUE(read.warning.isEmpty()) << read.warning.toStdString();
            const QImage expected = uprightImage(reference.image).bitmap;
            const QImage upright = uprightImage(read.image).bitmap;
            ASSERT_EQ(upright.size(), expected.size());
            // Quadrants in the wrong corners differ by about 100 a channel.
            EXPECT_LT(meanDifference(upright, expected), 6.0);

            // Shrunk while read (HEIF from its YCbCr planes): the same, turned the same.
            const auto half = [](QSize stored) { return stored / 2; };
            const QImage smallExpected = uprightImage(ImageFile::read(jpegPath, half).image).bitmap;
            const QImage small = uprightImage(ImageFile::read(path, half).image).bitmap;
            ASSERT_EQ(small.size(), smallExpected.size());
            EXPECT_LT(meanDifference(small, smallExpected), 6.0);
        }
    }
}

TEST_F(ImageFormatsTest, HeifFilesAreTakenByTheirHeaderAndItsPrimaryPicture)
{
    const QImage second = storedPicture().mirrored(true, false);
    const QByteArray burst = heifBytes(storedPicture(), heif_compression_HEVC, 1, second);
    if (burst.isEmpty()) {
        missing = QStringLiteral("heic encoder");
        return toolMissing();
    }
    // A burst: the primary picture (here the second one) is read, under any name.
    const ImageFileResult primary = ImageFile::read(write(QStringLiteral("burst.jpg"), burst));
    ASSERT_TRUE(primary.ok()) << primary.error.toStdString();
    EXPECT_LT(meanDifference(primary.image.bitmap, second), 6.0);

    // The header's size decides before decoding: a picture said to be too large
    // is refused for its size (the pixels would not even decode to it).
    const QByteArray small = heifBytes(storedPicture(), heif_compression_HEVC, 1);
    const auto withSize = [&small](const QByteArray& size) { return withIspe(small, size); };
    const ImageFileResult refused =
        ImageFile::read(write(QStringLiteral("large.heic"), withSize(QByteArray("\0\0\x4e\x20\0\0\x4e\x20", 8))));
    EXPECT_TRUE(refused.error.startsWith(QStringLiteral("picture too large: 20000 x 20000"))) << refused.error.toStdString();
    // 65536 x 32: beyond libheif's own limit.
    const ImageFileResult beyond =
        ImageFile::read(write(QStringLiteral("beyond.heic"), withSize(QByteArray("\0\x01\0\0\0\0\0\x20", 8))));
    EXPECT_TRUE(beyond.error.startsWith(QStringLiteral("picture too large"))) << beyond.error.toStdString();

    // The coded stream's own size decides too, before it is decoded: a stream
    // wider than its header allows, and one beyond the largest picture read.
    const QByteArray wide = heifBytes(quadrantPicture(600, 64), heif_compression_HEVC, 1);
    const ImageFileResult wider = ImageFile::read(
        write(QStringLiteral("wider.heic"), withIspe(wide, QByteArray("\0\0\0\x10\0\0\0\x10", 8))));
    EXPECT_EQ(wider.error, QStringLiteral("picture too large: its coded picture is 600 x 64 pixels, its header "
                                          "gives 16 x 16"));
    const ImageFileResult huge = ImageFile::read(write(QStringLiteral("huge.heic"), withSpsSize(small, 30000, 30000)));
    EXPECT_TRUE(huge.error.startsWith(QStringLiteral("picture too large: 30000 x 30000 pixels")))
        << huge.error.toStdString();
    const QByteArray avif = heifBytes(storedPicture(), heif_compression_AV1, 1);
    if (!avif.isEmpty()) {
        const ImageFileResult hugeAv1 =
            ImageFile::read(write(QStringLiteral("huge.avif"), withAv1FrameSize(avif, 30000)));
        EXPECT_TRUE(hugeAv1.error.startsWith(QStringLiteral("picture too large: 30000 x 30000 pixels")))
            << hugeAv1.error.toStdString();
    }

    // HEIF brands only: an MP4 video's file type box is not a picture.
    const auto fileType = [](const char* major, const char* compatible) {
        QByteArray box("\0\0\0\x18" "ftyp", 8);
        return box + major + QByteArray(4, '\0') + compatible + "mp41";
    };
    EXPECT_TRUE(HeifBrand::isHeifFile(fileType("mif1", "avif")));
    EXPECT_TRUE(HeifBrand::isHeifFile(fileType("isom", "heic")));
    EXPECT_FALSE(HeifBrand::isHeifFile(fileType("isom", "mp42")));
}

TEST_F(ImageFormatsTest, ThePickerAndDropsOfferEveryFormat)
{
    const QString filter = CharcolinoViewController::imageNameFilter();
    for (const char* suffix : {"heic", "heif", "avif", "webp", "tif", "tiff", "png", "jpg"}) {
        SCOPED_TRACE(suffix);
        EXPECT_TRUE(filter.contains(QStringLiteral("*.%1 ").arg(QLatin1String(suffix))));
        const QString path = write(QStringLiteral("photo.") + QString::fromLatin1(suffix).toUpper(), QByteArray("x"));
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(path)});
        EXPECT_EQ(MainWindow::droppedImagePath(&mime), path);
    }
}

TEST_F(ImageFormatsTest, ATruncatedFileOfEachFormatGivesOneLine)
{
    const QString jpegPath = write(QStringLiteral("o6.jpg"), withExifOrientation(jpegBytes(storedPicture()), 6));
    for (const QString format : {"heic", "avif", "webp", "tif", "png"}) {
        SCOPED_TRACE(format.toStdString());
        const QString path = make(format, 6, jpegPath);
        if (path.isEmpty())
            return toolMissing();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const ImageFileResult read = ImageFile::read(write(QStringLiteral("cut.") + format, bytes.left(bytes.size() * 2 / 3)));
        const QString line = read.ok() ? read.warning : read.error;
        EXPECT_FALSE(line.isEmpty());
        EXPECT_FALSE(line.contains(QLatin1Char('\n'))) << line.toStdString();
    }
}

TEST_F(ImageFormatsTest, WithoutTheHeifModuleOnlyHeifPhotosFailWithOneLine)
{
    const QString jpegPath = write(QStringLiteral("plain.jpg"), jpegBytes(storedPicture()));
    const QString heicPath = make(QStringLiteral("heic"), 1, jpegPath);
    if (heicPath.isEmpty())
        return toolMissing();

    // A file that is no module, and a module that is not there: one line each.
    QString error;
    for (const QString& path : {heicPath, dir.filePath(QStringLiteral("absent.so"))}) {
        EXPECT_EQ(HeifModule::load(path, &error), nullptr);
        EXPECT_TRUE(error.startsWith(QLatin1String("HEIF support is not installed: "))) << error.toStdString();
        EXPECT_FALSE(error.contains(QLatin1Char('\n')));
    }

    // The tool without its module: the HEIC fails with that line, the JPEG is made.
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("CHARCOLINO_HEIF_MODULE"), dir.filePath(QStringLiteral("absent.so")));
    tool.setProcessEnvironment(environment);
    const QString out = dir.filePath(QStringLiteral("out"));
    tool.start(QStringLiteral(CHARCOLINO_SKETCH_TOOL), {heicPath, jpegPath, QStringLiteral("-o"), out});
    ASSERT_TRUE(tool.waitForFinished(60000));
    const QString err = QString::fromLocal8Bit(tool.readAllStandardError()).trimmed();
    EXPECT_EQ(tool.exitCode(), 1);
    EXPECT_TRUE(err.contains(QLatin1String("HEIF support is not installed: "))) << err.toStdString();
    EXPECT_FALSE(err.contains(QLatin1Char('\n'))) << err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(out + QStringLiteral("/plain/original.png")));
    EXPECT_FALSE(QFileInfo::exists(out + QStringLiteral("/o1/original.png")));
}

namespace {

// BT.2100's PQ code value (0 to 1) of a light in cd/m², and HLG's display light
// of a code value on a 1000 cd/m² display.
double pqCode(double light)
{
    const double m1 = 2610.0 / 16384.0, m2 = 2523.0 / 32.0, c1 = 3424.0 / 4096.0, c2 = 2413.0 / 128.0,
                 c3 = 2392.0 / 128.0;
    const double y = std::pow(light / 10000.0, m1);
    return std::pow((c1 + c2 * y) / (1.0 + c3 * y), m2);
}

double pqLight(double code)
{
    const double m1 = 2610.0 / 16384.0, m2 = 2523.0 / 32.0, c1 = 3424.0 / 4096.0, c2 = 2413.0 / 128.0,
                 c3 = 2392.0 / 128.0;
    const double p = std::pow(code, 1.0 / m2);
    return 10000.0 * std::pow(std::max(p - c1, 0.0) / (c2 - c3 * p), 1.0 / m1);
}

double hlgLight(double code)
{
    const double a = 0.17883277, b = 1.0 - 4.0 * a, c = 0.5 - a * std::log(4.0 * a);
    const double scene = code <= 0.5 ? code * code / 3.0 : (std::exp((code - c) / a) + b) / 12.0;
    return 1000.0 * std::pow(scene, 1.2);
}

// The sRGB level a grey of `light` cd/m² is shown at: light up to 0.6 of the
// 203 cd/m² white kept, above it rolled off towards 1, then sRGB encoded.
int sdrLevel(double light)
{
    double x = light / 203.0;
    if (x > 0.6) {
        const double t = (x - 0.6) / 0.4;
        x = 0.6 + 0.4 * t / (1.0 + t);
    }
    const double encoded = x <= 0.0031308 ? 12.92 * x : 1.055 * std::pow(x, 1.0 / 2.4) - 0.055;
    return int(std::lround(encoded * 255.0));
}

}  // namespace

TEST_F(ImageFormatsTest, AColourProfileInEveryFormatGivesTheSameColours)
{
    using namespace HeifColourFiles;
    // The picture's numbers are Display P3 colours, saturated past sRGB.
    const QImage picture = storedPicture();
    QImage tagged = picture;
    tagged.setColorSpace(QColorSpace::DisplayP3);
    const QString pngPath = write(QStringLiteral("p3.png"), encoded(tagged, "PNG"));
    const QImage expected = uprightImage(ImageFile::read(pngPath).image).bitmap;
    const auto half = [](QSize stored) { return stored / 2; };
    const QImage smallExpected = uprightImage(ImageFile::read(pngPath, half).image).bitmap;
    // Its numbers taken as sRGB are far from it: a conversion left out shows.
    ASSERT_GT(meanDifference(expected, picture), 9.0);

    const QByteArray p3 = QColorSpace(QColorSpace::DisplayP3).iccProfile();
    const struct {
        const char* name;
        Codec codec;
        Description description;
    } cases[] = {
        {"icc.heic", Codec::Hevc, {p3}},
        {"icc.avif", Codec::Av1, {p3}},
        {"nclx.heic", Codec::Hevc, {{}, 12, 13}},
        {"nclx.avif", Codec::Av1, {{}, 12, 13}},
        {"nclx-in-stream.heic", Codec::Hevc, {{}, 12, 13, 6, true}},
        // The profile wins over the box beside it.
        {"icc-and-srgb-nclx.heic", Codec::Hevc, {p3, 1, 13}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray bytes = described(picture, c.codec, c.description);
        if (bytes.isEmpty()) {
            missing = QLatin1String(c.name) + QStringLiteral(" encoder");
            return toolMissing();
        }
        const QString path = write(QLatin1String(c.name), bytes);
        const ImageFileResult read = ImageFile::read(path);
        ASSERT_TRUE(read.ok()) << read.error.toStdString();
        EXPECT_TRUE(read.note.isEmpty()) << read.note.toStdString();
        const QImage upright = uprightImage(read.image).bitmap;
        ASSERT_EQ(upright.size(), expected.size());
        // The compression alone: about 1 a channel on these flat quadrants.
        EXPECT_LT(meanDifference(upright, expected), 2.5);
        // Shrunk from its YCbCr planes (HEIC) or after the decode: converted the same.
        const QImage small = uprightImage(ImageFile::read(path, half).image).bitmap;
        ASSERT_EQ(small.size(), smallExpected.size());
        EXPECT_LT(meanDifference(small, smallExpected), 2.5);
    }
}

TEST_F(ImageFormatsTest, ColoursThatCannotBeConvertedAreTakenAsSrgbWithOneLine)
{
    using namespace HeifColourFiles;
    const QImage picture = storedPicture();
    const struct {
        const char* name;
        Codec codec;
        Description description;
        const char* note;
    } cases[] = {
        {"srgb.heic", Codec::Hevc, {{}, 1, 13}, ""},
        {"unspecified.avif", Codec::Av1, {{}, 2, 2}, ""},
        {"xyz.heic", Codec::Hevc, {{}, 10, 13},
         "its colours (nclx primaries 10, transfer 13) cannot be converted: they are taken as sRGB"},
        {"st428.avif", Codec::Av1, {{}, 1, 17},
         "its colours (nclx primaries 1, transfer 17) cannot be converted: they are taken as sRGB"},
        {"broken-icc.heic", Codec::Hevc, {QByteArray(200, 'x')},
         "its ICC colour profile cannot be used: its colours are taken as sRGB"},
    };
    QString xyzPath;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray bytes = described(picture, c.codec, c.description);
        if (bytes.isEmpty()) {
            missing = QLatin1String(c.name) + QStringLiteral(" encoder");
            return toolMissing();
        }
        const QString path = write(QLatin1String(c.name), bytes);
        if (c.description.primaries == 10)
            xyzPath = path;
        const ImageFileResult read = ImageFile::read(path);
        ASSERT_TRUE(read.ok()) << read.error.toStdString();
        EXPECT_EQ(read.note, QLatin1String(c.note));
        EXPECT_TRUE(read.warning.isEmpty());
        EXPECT_LT(meanDifference(uprightImage(read.image).bitmap, picture), 2.5);
    }

    // The tool says so in one line, and makes the sketches all the same.
    QProcess tool;
    const QString out = dir.filePath(QStringLiteral("out"));
    tool.start(QStringLiteral(CHARCOLINO_SKETCH_TOOL), {xyzPath, QStringLiteral("-o"), out});
    ASSERT_TRUE(tool.waitForFinished(60000));
    const QString err = QString::fromLocal8Bit(tool.readAllStandardError()).trimmed();
    EXPECT_EQ(tool.exitCode(), 0);
    EXPECT_EQ(err, QStringLiteral("charcolino-sketch: %1: warning: its colours (nclx primaries 10, transfer 13) "
                                  "cannot be converted: they are taken as sRGB")
                       .arg(xyzPath));
    EXPECT_TRUE(QFileInfo::exists(out + QStringLiteral("/original.png")));

    // A PQ picture in CIE XYZ: mapped as it would be in sRGB's primaries, with its line.
    const QByteArray xyzPq = greyPatches({0, 2000, 3000}, 12, Codec::Hevc, 10, 16);
    const ImageFileResult pq = ImageFile::read(write(QStringLiteral("xyz-pq.heic"), xyzPq));
    ASSERT_TRUE(pq.ok()) << pq.error.toStdString();
    EXPECT_EQ(pq.note, QStringLiteral("its colour primaries (nclx 10) cannot be converted: they are taken as sRGB's"));
}

TEST_F(ImageFormatsTest, HdrPicturesAreMappedToSdrWithoutClipping)
{
    using namespace HeifColourFiles;
    // Grey light from deep shadow to highlights: 36.5 cd/m² is an 18% grey under
    // the 203 cd/m² white.
    const std::vector<double> pqLights{0.5, 5, 20, 36.5, 100, 203, 400, 1000, 4000};
    const std::vector<double> hlgCodes{0.1, 0.25, 0.5, 0.6, 0.75, 0.85, 0.95, 1.0};
    const auto codesOf = [](const std::vector<double>& values, int bits, const std::function<double(double)>& code) {
        std::vector<int> codes;
        for (const double v : values)
            codes.push_back(int(std::lround(code(v) * ((1 << bits) - 1))));
        return codes;
    };
    const struct {
        const char* name;
        Codec codec;
        int bits;
        int transfer;
        bool inStreamOnly;
    } cases[] = {
        {"pq12.avif", Codec::Av1, 12, 16, false},
        {"pq10.heic", Codec::Hevc, 10, 16, false},
        {"hlg10.heic", Codec::Hevc, 10, 18, false},
        {"hlg12.avif", Codec::Av1, 12, 18, false},
        {"pq8.heic", Codec::Hevc, 8, 16, false},
        // Said by the coded stream alone: found after a first decode.
        {"pq10-in-stream.heic", Codec::Hevc, 10, 16, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const bool pq = c.transfer == 16;
        const std::vector<int> codes = pq ? codesOf(pqLights, c.bits, pqCode)
                                          : codesOf(hlgCodes, c.bits, [](double v) { return v; });
        const QByteArray bytes = greyPatches(codes, c.bits, c.codec, 9, c.transfer, c.inStreamOnly);
        if (bytes.isEmpty()) {
            missing = QLatin1String(c.name) + QStringLiteral(" encoder");
            return toolMissing();
        }
        const QString path = write(QLatin1String(c.name), bytes);
        for (const bool shrunk : {false, true}) {
            SCOPED_TRACE(shrunk ? "shrunk" : "whole");
            const ImageFileResult read =
                shrunk ? ImageFile::read(path, [](QSize stored) { return stored / 2; }) : ImageFile::read(path);
            ASSERT_TRUE(read.ok()) << read.error.toStdString();
            EXPECT_TRUE(read.note.isEmpty()) << read.note.toStdString();
            const QImage picture = uprightImage(read.image).bitmap;
            const int patch = shrunk ? 4 : 8;
            int previous = -1;
            for (size_t i = 0; i < codes.size(); ++i) {
                const QRgb pixel = picture.pixel(int(i) * patch + patch / 2, patch / 2);
                const double code = double(codes[i]) / ((1 << c.bits) - 1);
                const double light = pq ? pqLight(code) : hlgLight(code);
                SCOPED_TRACE(light);
                EXPECT_NEAR(qGreen(pixel), sdrLevel(light), 3);
                EXPECT_NEAR(qRed(pixel), qGreen(pixel), 2);
                EXPECT_NEAR(qBlue(pixel), qGreen(pixel), 2);
                // Every step of light a step of grey: nothing flat at white.
                EXPECT_GT(qGreen(pixel), previous);
                previous = qGreen(pixel);
            }
        }
    }
}
