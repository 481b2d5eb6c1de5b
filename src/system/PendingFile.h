#pragma once

#include <QString>
#include <QtGlobal>
#include <memory>

class QFileDevice;

// A file written under a hidden temporary name in its folder while it is made,
// which takes its own name only when complete: no other program ever sees it half
// written, and a file that fails (a full disk, a drawing that stops) leaves
// nothing behind and whatever was at the name as it was. As replaceFile: the new
// file gets the mode of any new file, and a symbolic link at the name is replaced,
// never written through.
class PendingFile {
public:
    explicit PendingFile(const QString& path);
    ~PendingFile();  // the temporary file removed unless committed
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // Creates the temporary file; false with the system's reason.
    bool open(QString* reason);
    QFileDevice& device();

    // Writes all `bytes` of `data`; false once a write has failed (see reason()).
    bool write(const char* data, qint64 bytes);
    // Why the file could not be written or committed: the system's reason.
    QString reason() const;

    // Flushes and syncs the file and gives it its name; false with the reason.
    bool commit(QString* reason);

    const QString& path() const { return mPath; }

private:
    QString mPath;
    std::unique_ptr<QFileDevice> mFile;
    bool mLink = false;  // a symbolic link at the name: replaced by rename()
    bool mFailed = false;
    QString mReason;
};
