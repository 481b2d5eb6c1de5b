#!/usr/bin/env python3
"""Writes the seed corpora of the drawing-record fuzzer (records as saved beside a
project, and a few just short of valid) and of the single-instance message fuzzer
(scripts of connections, see MessageScript.h).
Run: python3 fuzz/make-record-corpus.py"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
RECORD = os.path.join(HERE, "corpus", "record")
MESSAGE = os.path.join(HERE, "corpus", "message")


def record(dabs, width=64, height=32, picsize=(60.5, 31.0), start=2, reserved=0, photo_bytes=1234, count=None):
    out = b"CHRSTRK1" + struct.pack("<iiffii", width, height, *picsize, start, reserved)
    out += struct.pack("<QQQQ", 0x1122334455667788, 0x99AABBCCDDEEFF00, photo_bytes, 0x0F1E2D3C4B5A6978)
    out += struct.pack("<I", len(dabs) if count is None else count)
    for x, y, radius, shape, source in dabs:
        out += struct.pack("<fffii", x, y, radius, shape, source)
    return out


def blended_record(dabs, width=64, height=32, picsize=(60.5, 31.0), start=2):
    """The second kind: each dab adds hardness, alpha, flags and a zero byte."""
    out = b"CHRSTRK2" + struct.pack("<iiffii", width, height, *picsize, start, 0)
    out += struct.pack("<QQQQ", 0x1122334455667788, 0x99AABBCCDDEEFF00, 1234, 0x0F1E2D3C4B5A6978)
    out += struct.pack("<I", len(dabs))
    for x, y, radius, shape, source, hardness, alpha, flags, zero in dabs:
        out += struct.pack("<fffiiBBBB", x, y, radius, shape, source, hardness, alpha, flags, zero)
    return out


STROKE = [(10.0 + i, 12.5 - 0.25 * i, 4.0, i % 2, i % 3) for i in range(6)]
SOFT = [(10.0 + i, 12.5, 6.0, i % 2, 2, 50, 128, 1 if i == 0 else 0, 0) for i in range(4)]

RECORDS = {
    "empty": record([]),
    "one-dab": record([(0.0, 0.0, 1.0, 0, 0)]),
    "stroke": record(STROKE),
    "black-start-negative-zero": record([(-0.0, 1e30, -3.5, 1, 2)], start=0),
    "colour-start-tiny-picture": record(STROKE[:2], width=1, height=1, picsize=(1e-30, 0.5), start=1),
    "count-past-end": record(STROKE, count=7),
    "unknown-shape": record([(1.0, 1.0, 1.0, 2, 0)]),
    "cut-short": record(STROKE)[:-3],
    "a-byte-more": record(STROKE) + b"\0",
    "soft-strokes": blended_record(SOFT + [(30.0, 20.0, 3.0, 0, 1, 100, 255, 0, 0)]),
    "soft-hardness-over-100": blended_record([(1.0, 1.0, 2.0, 0, 0, 101, 26, 1, 0)]),
}

# (client << 2 | kind) steps; a send is followed by its 16-bit length - 1, its
# repeats - 1 and its bytes.
def send(client, payload, repeats=1):
    return bytes([client << 2 | 1]) + struct.pack("<HB", len(payload) - 1, repeats - 1) + payload


def connect(client):
    return bytes([client << 2])


def shut(client):
    return bytes([client << 2 | 2])


def close(client):
    return bytes([client << 2 | 3])


MESSAGES = {
    "photo-handed-over": connect(0) + send(0, b"/home/someone/Pictures/photo.jpg\0") + send(0, b"y"),
    "empty-message": connect(0) + send(0, b"\0") + send(0, b"yes"),
    "message-in-pieces": connect(0) + send(0, b"/tmp/a") + send(0, b"b.png") + send(0, b"\0") + send(0, b"y"),
    "gave-up-before-answering-back": connect(1) + send(1, b"/tmp/x.heic\0") + close(1),
    "shut-before-zero": connect(0) + send(0, b"/tmp/partial") + shut(0),
    "bytes-after-the-zero": connect(0) + send(0, b"/tmp/a.png\0extra"),
    "too-long": connect(0) + send(0, b"a" * 4096, repeats=17),
    "longest": connect(0) + send(0, b"b" * 4096, repeats=16) + send(0, b"\0") + send(0, b"y"),
    "three-at-once": connect(0) + connect(1) + connect(2) + send(1, b"one\0") + send(2, b"two")
    + send(0, b"zero\0") + send(1, b"y") + send(2, b"\0") + close(0) + send(2, b"y"),
    "invalid-utf8": connect(2) + send(2, b"\xff\xfe/\xc3(\0") + send(2, b"\x01"),
    # Six at once: two wait in the queue, the last with its message sent, until
    # places come free.
    "queued-behind-four": b"".join(connect(c) for c in range(6)) + send(5, b"queued\0") + close(0) + close(1)
    + send(5, b"y"),
    # Queued with a message that fills one read to its zero and the answer behind
    # it: more than the message, however the reads split it.
    "split-at-the-zero": b"".join(connect(c) for c in range(5)) + send(4, b"c" * 4095 + b"\0") + send(4, b"y")
    + close(0),
}


def main():
    for folder, files in ((RECORD, RECORDS), (MESSAGE, MESSAGES)):
        os.makedirs(folder, exist_ok=True)
        for name, data in files.items():
            open(os.path.join(folder, name), "wb").write(data)


if __name__ == "__main__":
    main()
