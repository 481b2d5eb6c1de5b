#pragma once

#include <QIODevice>

// A picture file as a decoder reads it: the bytes of `file` (open, random access),
// with a note of whether the decoder ever asked for bytes beyond its end. A
// decoder that reads exactly what the file's own structure says (BMP rows, TIFF
// strips, PNM samples, XBM lines) does so only when the file stops short.
// Reads go through a buffer of its own, so that decoders reading a byte at a time
// cost no system call each.
class DecoderInput : public QIODevice {
public:
    explicit DecoderInput(QIODevice& file);

    bool isSequential() const override { return false; }
    qint64 size() const override;
    bool seek(qint64 pos) override;

    // Forgets what was asked before (a format's probing peeks past the end of a
    // small file); from now on wantedMore() tells about the decode alone.
    void watch() { mWantedMore = false; }
    bool wantedMore() const { return mWantedMore; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QIODevice& mFile;
    QByteArray mBuffer;
    qint64 mBufferStart = 0;  // the file position of mBuffer's first byte
    bool mWantedMore = false;
};
