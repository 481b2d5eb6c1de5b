#pragma once

#include <QColorSpace>
#include <QString>
#include <array>
#include <optional>

#include "imageio/HdrToSdr.h"
#include "imageio/NclxColour.h"

struct heif_image_handle;

// How the colours of a HEIF picture become sRGB, from what the file says of them:
// an ICC profile (which wins when there is an nclx box beside it), else an nclx
// box, else the coded stream's own colour description (`stream`, when given and
// neither box is there; libheif does not pass it on). Nothing said: sRGB.
struct HeifColour {
    bool described = false;         // the file or its stream said something of its colours
    QColorSpace space;              // the picture's colour space for Qt to convert (invalid: none)
    std::optional<HdrTransfer> hdr; // PQ or HLG: mapped to sRGB apart (see hdrToSdr)
    std::array<float, 9> hdrToSrgb{1, 0, 0, 0, 1, 0, 0, 0, 1};  // the HDR picture's primaries to sRGB's
    QString note;                   // why the colours are taken as sRGB when the file says otherwise

    static HeifColour of(const heif_image_handle* handle, std::optional<NclxCodes> stream = std::nullopt);
};
