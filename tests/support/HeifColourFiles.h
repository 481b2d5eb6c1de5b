#pragma once

#include <QByteArray>
#include <QImage>
#include <vector>

// HEIC and AVIF files that describe their colours, made with libheif's encoders
// for the colour tests. Each is empty when the encoder is not there.
namespace HeifColourFiles {

enum class Codec { Hevc, Av1 };

// What a file says of its colours: an ICC profile, or an nclx box (ITU-T H.273
// codes; primaries 0: none), or both.
struct Description {
    QByteArray icc;
    int primaries = 0;
    int transfer = 13;
    int matrix = 6;
    // libheif's default for HEVC, as phones and macOS write it: the nclx
    // description in the coded stream only, no nclx box.
    bool nclxInStreamOnly = false;
};

// The 8-bit picture (its pixels as they are, whatever colour space it is tagged
// with) in a file with that description (quality 90, 4:2:0).
QByteArray described(const QImage& picture, Codec codec, const Description& description);

// Grey patches of `codes` (code values at `bits`, 8 to 12, full range), each 8 x 8
// side by side, 4:2:0, in a file whose nclx box (or only its stream) gives the
// primaries and transfer; quality 95.
QByteArray greyPatches(const std::vector<int>& codes, int bits, Codec codec, int primaries, int transfer,
                       bool nclxInStreamOnly = false);

}  // namespace HeifColourFiles
