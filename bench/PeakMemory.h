#pragma once

#include <QFile>
#include <QString>
#include <algorithm>

// The most resident memory a stretch of work added to the process: the kernel's
// peak (VmHWM) is reset where it starts (clear_refs 5) and read where it ends,
// less the resident size at the start. Linux only; 0 where /proc says nothing.
class PeakMemory {
public:
    void start()
    {
        QFile reset(QStringLiteral("/proc/self/clear_refs"));
        if (reset.open(QIODevice::WriteOnly))
            reset.write("5");
        mStart = field("VmRSS:");
    }

    // Megabytes (10^6 bytes) above the start.
    double addedMB() const { return double(std::max(0LL, field("VmHWM:") - mStart)) * 1024.0 / 1e6; }

private:
    // A "kB" field of /proc/self/status.
    static long long field(const char* name)
    {
        QFile status(QStringLiteral("/proc/self/status"));
        if (!status.open(QIODevice::ReadOnly))
            return 0;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith(name))
                return line.mid(qsizetype(qstrlen(name))).trimmed().split(' ').first().toLongLong();
        return 0;
    }

    long long mStart = 0;
};
