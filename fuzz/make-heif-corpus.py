#!/usr/bin/env python3
"""Writes the seed corpora of the HEIF import fuzzer (small HEIC and AVIF files) and
of the HEVC and AV1 stream readers (the streams those files hand the decoder: the
parameter sets or sequence header of the configuration box, then the picture's
coded data). Needs ImageMagick's convert with HEIC and AVIF support.
Run: python3 fuzz/make-heif-corpus.py"""
import ctypes
import os
import struct
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))
HEIF = os.path.join(HERE, "corpus", "heif")
HEVC = os.path.join(HERE, "corpus", "hevc")
AV1 = os.path.join(HERE, "corpus", "av1")

# Name (without suffix) and convert's arguments for the picture.
PICTURES = [
    ("gradient-40x24", ["-size", "40x24", "gradient:red-blue"]),
    ("odd-37x21", ["-size", "37x21", "gradient:white-green"]),
    ("grey-16x40", ["-size", "16x40", "gradient:white-black", "-colorspace", "gray"]),
]


class HeifError(ctypes.Structure):
    _fields_ = [("code", ctypes.c_int), ("subcode", ctypes.c_int), ("message", ctypes.c_char_p)]


def libheif_picture(path, compression, width, height, alpha, bits):
    """A picture with a gradient (and a see-through corner when it has alpha),
    written by libheif itself: ImageMagick writes neither alpha nor deep pictures."""
    heif = ctypes.CDLL("libheif.so.1")
    for name in ("heif_context_get_encoder_for_format", "heif_encoder_set_lossy_quality", "heif_image_create",
                 "heif_image_add_plane", "heif_context_encode_image", "heif_context_write_to_file"):
        getattr(heif, name).restype = HeifError
    heif.heif_context_alloc.restype = ctypes.c_void_p
    heif.heif_image_get_plane.restype = ctypes.POINTER(ctypes.c_uint8)
    context = ctypes.c_void_p(heif.heif_context_alloc())
    encoder = ctypes.c_void_p()
    assert heif.heif_context_get_encoder_for_format(context, compression, ctypes.byref(encoder)).code == 0
    heif.heif_encoder_set_lossy_quality(encoder, 40)
    channels = 4 if alpha else 3
    # Interleaved RGB(A), 8 bits, or RRGGBB(AA) little-endian.
    chroma = (11 if alpha else 10) if bits == 8 else (15 if alpha else 14)
    image = ctypes.c_void_p()
    assert heif.heif_image_create(width, height, 1, chroma, ctypes.byref(image)).code == 0
    assert heif.heif_image_add_plane(image, 10, width, height, bits).code == 0
    stride = ctypes.c_int()
    plane = heif.heif_image_get_plane(image, 10, ctypes.byref(stride))
    top = (1 << bits) - 1
    sample_bytes = 1 if bits == 8 else 2
    for y in range(height):
        for x in range(width):
            values = [top * x // (width - 1), top * y // (height - 1), top // 3]
            if alpha:
                values.append(0 if x < width // 3 and y < height // 3 else top)
            for c, value in enumerate(values):
                at = y * stride.value + (x * channels + c) * sample_bytes
                for b in range(sample_bytes):
                    plane[at + b] = (value >> (8 * b)) & 0xff
    assert heif.heif_context_encode_image(context, image, encoder, None, None).code == 0
    assert heif.heif_context_write_to_file(context, path.encode()).code == 0


# Name (without suffix), size, alpha, bits a channel, and the formats (libaom
# takes no interleaved RGB above 8 bits).
LIBHEIF_PICTURES = [
    ("alpha-24x16", 24, 16, True, 8, ("heic", "avif")),
    ("deep-32x20", 32, 20, False, 10, ("heic",)),
]


def box(data, kind):
    """The payload of the first box of that type (searched, not walked)."""
    at = data.find(kind)
    if at < 4:
        return None
    size = struct.unpack(">I", data[at - 4:at])[0]
    return data[at + 4:at - 4 + size]


def hevc_stream(data):
    config = box(data, b"hvcC")
    # 22 bytes of settings, then arrays of units: type, count, then each unit after
    # its 16-bit length. The decoder gets each after a 32-bit length.
    units = []
    arrays = config[22]
    at = 23
    for _ in range(arrays):
        count = struct.unpack(">H", config[at + 1:at + 3])[0]
        at += 3
        for _ in range(count):
            length = struct.unpack(">H", config[at:at + 2])[0]
            units.append(struct.pack(">I", length) + config[at + 2:at + 2 + length])
            at += 2 + length
    return b"".join(units) + box(data, b"mdat")


def av1_stream(data):
    return box(data, b"av1C")[4:] + box(data, b"mdat")


def main():
    for folder in (HEIF, HEVC, AV1):
        os.makedirs(folder, exist_ok=True)
    for name, args in PICTURES:
        for suffix, folder, stream in (("heic", HEVC, hevc_stream), ("avif", AV1, av1_stream)):
            path = os.path.join(HEIF, f"{name}.{suffix}")
            subprocess.run(["convert", *args, "-quality", "40", path], check=True)
            open(os.path.join(folder, name), "wb").write(stream(open(path, "rb").read()))
    for name, width, height, alpha, bits, suffixes in LIBHEIF_PICTURES:
        for suffix, folder, stream, compression in (("heic", HEVC, hevc_stream, 1), ("avif", AV1, av1_stream, 4)):
            if suffix not in suffixes:
                continue
            path = os.path.join(HEIF, f"{name}.{suffix}")
            libheif_picture(path, compression, width, height, alpha, bits)
            open(os.path.join(folder, name), "wb").write(stream(open(path, "rb").read()))


if __name__ == "__main__":
    main()
