#!/usr/bin/env python3
"""Writes the image fuzzer's seed corpus: small pictures of every format the import
reads, in several layouts, and with each EXIF orientation. Needs ImageMagick's
convert. Run: python3 fuzz/make-image-corpus.py"""
import os
import struct
import subprocess
import sys
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "image")
# Not symmetric in either axis, so that every turn and mirror shows.
PICTURE = ["-size", "40x24", "gradient:red-blue", "-fill", "white", "-draw", "rectangle 2,2 9,6"]


def convert(name, *args, coder=""):
    subprocess.run(["convert", *args, coder + os.path.join(OUT, name)], check=True)


def exif(orientation):
    """A little-endian TIFF block holding only the orientation tag."""
    return b"II*\0" + struct.pack("<IH", 8, 1) + struct.pack("<HHIHH", 0x0112, 3, 1, orientation, 0) + b"\0" * 4


def jpeg_with_orientation(name, orientation, *args):
    path = os.path.join(OUT, name)
    convert(name, *args)
    data = open(path, "rb").read()
    payload = b"Exif\0\0" + exif(orientation)
    segment = b"\xff\xe1" + struct.pack(">H", len(payload) + 2) + payload
    open(path, "wb").write(data[:2] + segment + data[2:])


def png_with_orientation(name, orientation, *args, coder=""):
    path = os.path.join(OUT, name)
    convert(name, *args, coder=coder)
    data = open(path, "rb").read()
    body = exif(orientation)
    chunk = struct.pack(">I", len(body)) + b"eXIf" + body + struct.pack(">I", zlib.crc32(b"eXIf" + body))
    end_of_header = 8 + 8 + 13 + 4  # signature, IHDR length and type, IHDR data, CRC
    open(path, "wb").write(data[:end_of_header] + chunk + data[end_of_header:])


def main():
    os.makedirs(OUT, exist_ok=True)
    for orientation in range(1, 9):
        # Larger than the quarter turns' tiles, with partial ones at the edges.
        jpeg_with_orientation(f"jpeg-orientation-{orientation}.jpg", orientation, *PICTURE, "-resize", "150x90!",
                              "-quality", "50")
    jpeg_with_orientation("jpeg-1500x12-orientation-6.jpg", 6, "-size", "12x1500", "gradient:white-black",
                          "-rotate", "90", "-quality", "40")
    convert("jpeg-progressive.jpg", *PICTURE, "-resize", "33x17!", "-interlace", "Plane", "-quality", "60")
    convert("jpeg-cmyk.jpg", *PICTURE, "-resize", "16x16!", "-colorspace", "CMYK", "-quality", "60")
    convert("jpeg-grey.jpg", *PICTURE, "-resize", "17x9!", "-colorspace", "Gray", "-quality", "60")
    png_with_orientation("png-orientation-6.png", 6, *PICTURE, "-resize", "20x12!", "-depth", "8", coder="PNG24:")
    png_with_orientation("png-orientation-5.png", 5, *PICTURE, "-resize", "12x20!")
    convert("png-rgba.png", *PICTURE, "-resize", "24x12!", "-alpha", "set", "-channel", "A", "-evaluate",
            "set", "50%", "+channel", coder="PNG32:")
    convert("png-16bit.png", *PICTURE, "-resize", "10x6!", "-depth", "16", coder="PNG48:")
    convert("png-palette.png", *PICTURE, "-resize", "16x8!", "-colors", "5", coder="PNG8:")
    convert("png-grey-alpha.png", *PICTURE, "-resize", "9x7!", "-colorspace", "Gray", "-alpha", "set",
            "-channel", "A", "-evaluate", "set", "30%", "+channel")
    convert("png-gamma.png", *PICTURE, "-resize", "8x8!", "-set", "gamma", "0.3")
    convert("png-1300x3.png", "-size", "1300x3", "gradient:black-yellow")
    convert("png-1x1.png", "-size", "1x1", "xc:#80402010")
    convert("gif-transparent.gif", *PICTURE, "-resize", "14x10!", "-transparent", "white")
    convert("gif-two-frames.gif", "-size", "6x5", "xc:red", "-size", "6x5", "xc:blue")
    convert("bmp-24.bmp", *PICTURE, "-resize", "7x5!", "-type", "TrueColor")
    convert("bmp-32-alpha.bmp", "-size", "5x3", "xc:#ff000080")
    convert("ico-16.ico", *PICTURE, "-resize", "16x16!")
    convert("ppm-binary.ppm", *PICTURE, "-resize", "6x4!")
    convert("pgm-binary.pgm", *PICTURE, "-resize", "6x4!", "-colorspace", "Gray")
    convert("pbm-binary.pbm", *PICTURE, "-resize", "11x3!", "-monochrome")
    convert("pbm-text.pbm", *PICTURE, "-resize", "5x3!", "-monochrome", "-compress", "none")
    convert("xbm.xbm", *PICTURE, "-resize", "10x4!", "-monochrome")
    convert("xpm.xpm", *PICTURE, "-resize", "6x3!", "-colors", "3")
    total = sum(os.path.getsize(os.path.join(OUT, f)) for f in os.listdir(OUT))
    print(f"{len(os.listdir(OUT))} files, {total} bytes", file=sys.stderr)


main()
