#include "gl/Texture2D.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "base/InternalInconsistency.h"

namespace {

struct UploadFormat {
    GLenum format;  // also the internal format
    GLenum type;
    std::size_t bytesPerPixel;
};

bool uploadFormatFor(int pixelFormat, UploadFormat* out)
{
    switch (pixelFormat) {
    case Texture2D::RGBA8888:
        *out = {GL_RGBA, GL_UNSIGNED_BYTE, 4};
        return true;
    case Texture2D::RGB565:
        *out = {GL_RGB, GL_UNSIGNED_SHORT_5_6_5, 2};
        return true;
    case Texture2D::A8:
        *out = {GL_ALPHA, GL_UNSIGNED_BYTE, 1};
        return true;
    default:
        return false;
    }
}

// Content over texture size as a texture coordinate; a texture without pixels has
// no extent to address, so its coordinate is 0 rather than a division by zero.
float coordinate(float content, std::uint32_t pixels)
{
    return pixels == 0 ? 0.0f : content / float(pixels);
}

// Runs `upload` with byte unpack alignment: rows follow one another without gaps
// whatever their length (2- and 1-byte pixels make rows that are not multiples of
// 4 bytes). The alignment is restored afterwards.
template <typename Upload>
void uploadTightlyPacked(Upload upload)
{
    GLint unpackAlignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &unpackAlignment);
    if (unpackAlignment != 1)
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    upload();
    if (unpackAlignment != 1)
        glPixelStorei(GL_UNPACK_ALIGNMENT, unpackAlignment);
}

}  // namespace

std::unique_ptr<Texture2D> Texture2D::initWithData(const void* data, int pixelFormat, std::uint32_t width,
                                                   std::uint32_t height, FloatSize contentSize)
{
    std::unique_ptr<Texture2D> texture(new Texture2D());

    // From here on the texture's destructor deletes the name, also when the
    // format turns out to be invalid.
    glGenTextures(1, &texture->_name);
    GLint saveName = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &saveName);
    glBindTexture(GL_TEXTURE_2D, texture->_name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    // Filtering at the edges takes the edge texels again rather than wrapping round
    // to the opposite edge: a scaled screen samples between texels there.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);

    UploadFormat upload{};
    if (!uploadFormatFor(pixelFormat, &upload)) {
        glBindTexture(GL_TEXTURE_2D, GLuint(saveName));
        throw InternalInconsistency("");
    }
    uploadTightlyPacked([&] {
        glTexImage2D(GL_TEXTURE_2D, 0, GLint(upload.format), GLsizei(width), GLsizei(height), 0, upload.format,
                     upload.type, data);
    });

    glBindTexture(GL_TEXTURE_2D, GLuint(saveName));

    texture->_size = contentSize;
    texture->_width = width;
    texture->_height = height;
    texture->_format = pixelFormat;
    texture->_maxS = coordinate(contentSize.width, width);
    texture->_maxT = coordinate(contentSize.height, height);
    return texture;
}

void Texture2D::replaceContents(const void* data)
{
    replaceRows(data, 0, _height);
}

void Texture2D::replaceRows(const void* data, std::uint32_t firstRow, std::uint32_t rowCount)
{
    UploadFormat upload{};
    if (!data || _name == 0 || _width == 0 || firstRow >= _height || !uploadFormatFor(_format, &upload))
        return;
    rowCount = std::min(rowCount, _height - firstRow);
    if (rowCount == 0)
        return;
    const auto* rows = static_cast<const std::uint8_t*>(data) + std::size_t(firstRow) * _width * upload.bytesPerPixel;
    GLint saveName = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &saveName);
    glBindTexture(GL_TEXTURE_2D, _name);
    uploadTightlyPacked([&] {
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, GLint(firstRow), GLsizei(_width), GLsizei(rowCount), upload.format,
                        upload.type, rows);
    });
    glBindTexture(GL_TEXTURE_2D, GLuint(saveName));
}

Texture2D::~Texture2D()
{
    if (_name != 0)
        glDeleteTextures(1, &_name);
}

QString Texture2D::description() const
{
    char text[160];
    std::snprintf(text, sizeof text, "<%s = %08llX | Name = %i | Dimensions = %ix%i | Coordinates = (%.2f, %.2f)>",
                  "Texture2D", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(this)), int(_name),
                  int(_width), int(_height), double(_maxS), double(_maxT));
    return QString::fromLatin1(text);
}
