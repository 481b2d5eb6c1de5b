#pragma once

#include <QByteArray>
#include <QIODevice>
#include <algorithm>
#include <cstring>

// Bytes read as from a pipe: a sequential device, no size known in advance. For
// the fuzzers and their regression tests.
class SequentialBytes : public QIODevice {
public:
    explicit SequentialBytes(const QByteArray& bytes) : mBytes(bytes) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 count = std::min(maxSize, qint64(mBytes.size()) - mAt);
        std::memcpy(data, mBytes.constData() + mAt, std::size_t(count));
        mAt += count;
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray mBytes;
    qint64 mAt = 0;
};
