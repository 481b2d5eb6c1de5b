#pragma once

#include <QImage>
#include <QSize>
#include <QString>

class QIODevice;

// What the HEIF module (charcolino-heif, with libheif and libavcodec) offers the
// program that loads it: one C entry point returning a table of plain functions
// over an opaque picture. Qt types cross it, as the module and the program share
// Qt; the version guards against a module of another build.
struct HeifModulePicture;

// What a decode gave: the picture, upright, or a null image and why.
struct HeifModuleDecoded {
    QImage image;          // RGBX8888, RGBA8888 or RGBA8888_Premultiplied in the file's colour space; null on failure
    QSize decodedSize;     // the upright picture's full size (a crop can make it smaller than the header's)
    QString error;         // why not, a short lower-case reason
    QSize refusedStream;   // the coded size of a stream refused for its size
    QString colourNote;    // why its colours are taken as sRGB when the file says otherwise
};

struct HeifModuleInterface {
    int version;
    // Reads the boxes of `file` (open, readable; it must outlive the picture).
    // Never null: error() tells whether the picture can be decoded.
    HeifModulePicture* (*open)(QIODevice* file);
    void (*close)(HeifModulePicture* picture);
    // Empty when the picture can be decoded, else a short lower-case reason.
    QString (*error)(const HeifModulePicture* picture);
    // The upright size from the header, whether it has alpha, and whether it has
    // more than 8 bits a channel.
    QSize (*size)(const HeifModulePicture* picture);
    bool (*hasAlpha)(const HeifModulePicture* picture);
    bool (*deep)(const HeifModulePicture* picture);
    // Decodes the picture at sizeFor(decoded size, context) when that is smaller
    // (null sizeFor: at its full size); see HeifPicture::decode.
    HeifModuleDecoded (*decode)(const HeifModulePicture* picture, QSize (*sizeFor)(QSize, const void*),
                                const void* context);
};

inline constexpr int kHeifModuleVersion = 2;
// The module's file name and the name of its entry point, a
// `const HeifModuleInterface* charcolino_heif_module()`.
inline constexpr const char* kHeifModuleFile = "charcolino-heif.so";
inline constexpr const char* kHeifModuleEntry = "charcolino_heif_module";
