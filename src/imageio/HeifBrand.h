#pragma once

#include <QByteArrayView>

// Tells a HEIF file (HEIC, AVIF) by its first bytes, without the decoders: the
// program decides here whether a picture needs the HEIF module at all.
namespace HeifBrand {

// True when `head` starts with a file type box naming a HEIF brand (HEIC, AVIF
// and the general HEIF ones) as its major or a compatible brand. An MP4 or other
// ISO media file is not.
bool isHeifFile(QByteArrayView head);

}  // namespace HeifBrand
