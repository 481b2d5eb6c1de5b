#include "imageio/DecoderInput.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr qint64 kChunk = 64 * 1024;
}

DecoderInput::DecoderInput(QIODevice& file) : mFile(file)
{
    // Unbuffered: every read of the decoder arrives here with the size it asked for.
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

qint64 DecoderInput::size() const { return mFile.size(); }

// As a file allows: a position past the end is taken, and what is read there is
// nothing, which counts as wanting more. Refusing it left a decoder that does not
// check its seek (BMP, to a data offset past the end) reading the wrong bytes.
bool DecoderInput::seek(qint64 pos)
{
    if (pos < 0)
        return false;
    return QIODevice::seek(pos);
}

qint64 DecoderInput::readData(char* data, qint64 maxSize)
{
    qint64 done = 0;
    while (done < maxSize) {
        const qint64 at = pos() + done;
        const qint64 offset = at - mBufferStart;
        if (offset >= 0 && offset < mBuffer.size()) {
            const qint64 n = std::min(maxSize - done, qint64(mBuffer.size()) - offset);
            std::memcpy(data + done, mBuffer.constData() + offset, size_t(n));
            done += n;
            continue;
        }
        if (maxSize - done >= kChunk) {
            // A large read goes straight to the caller.
            if (!mFile.seek(at))
                break;
            const qint64 n = mFile.read(data + done, maxSize - done);
            if (n <= 0)
                break;
            done += n;
            continue;
        }
        if (!mFile.seek(at))
            break;
        mBuffer = mFile.read(kChunk);
        mBufferStart = at;
        if (mBuffer.isEmpty())
            break;
    }
    if (done < maxSize && pos() + done >= size())
        mWantedMore = true;
    return done;
}
