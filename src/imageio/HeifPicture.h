#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <functional>

class QIODevice;
struct heif_context;
struct heif_image_handle;

// The primary picture of a HEIF file (HEIC, AVIF): opened from the file's boxes,
// its size known before anything is decoded. Decoding applies the file's own
// turns, mirrors and crop, so the picture comes out upright. A burst or
// collection gives its primary picture. Built into the HEIF module only (see
// HeifModule), with libheif and libavcodec.
class HeifPicture {
public:
    // Reads the boxes of `file` (open, readable, at any position; it must stay
    // open while the picture is used). error() tells whether that worked.
    explicit HeifPicture(QIODevice& file);
    ~HeifPicture();
    HeifPicture(const HeifPicture&) = delete;
    HeifPicture& operator=(const HeifPicture&) = delete;

    // Empty when the picture can be decoded, else a short lower-case reason.
    QString error() const { return mError; }

    // The upright size, from the header.
    QSize size() const;
    bool hasAlpha() const;
    // More than 8 bits a channel as stored (decoded to 8 bits all the same).
    bool deep() const;

    // The decoded picture, upright: RGBX8888, or RGBA8888 (premultiplied when the
    // file says so) for a picture with alpha, in the colour space the file gives
    // (an ICC profile, else an nclx box, else the coded stream's description;
    // sRGB when none does or Qt cannot express it). PQ and HLG pictures come
    // mapped to sRGB (see hdrToSdr). A null image and the reason on failure.
    QImage decode(QString* error) const;

    // What a decode at a wanted size gave.
    struct Decoded {
        QImage image;          // null on failure
        QSize decodedSize;     // the upright picture's full size (a crop in the file can make it smaller than size())
        QString error;         // why not
        QSize refusedStream;   // the coded size of a stream refused for its size
        QString colourNote;    // why its colours are taken as sRGB when the file says otherwise
    };

    // The picture at sizeFor(decodedSize) when that is smaller, else as decode()
    // gives it. An 8-bit picture without alpha is then shrunk and converted from its
    // YCbCr planes in one pass, the decoder leaving out the loop filters when it
    // shrinks by 2 or more; any other comes at its full size. A coded stream larger
    // than the header allows (its longer side rounded up to a whole 512-pixel tile,
    // within the largest picture read) is refused before it is decoded.
    Decoded decode(const std::function<QSize(QSize)>& sizeFor) const;

private:
    QIODevice& mFile;
    heif_context* mContext = nullptr;
    heif_image_handle* mHandle = nullptr;
    QString mError;
};
