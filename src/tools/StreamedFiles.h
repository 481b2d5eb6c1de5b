#pragma once

#include <QString>
#include <memory>
#include <vector>

#include "imageio/PngStripEncoder.h"

class PendingFile;

// Files of an output folder written as they are made: each under a hidden
// temporary name in `directory` (created when they are first started), given its
// name only once all are complete, so that a failure (a full disk, a drawing that
// stops) leaves no file behind and whatever had the names as it was.
class StreamedFiles {
public:
    StreamedFiles(const QString& directory, std::vector<const char*> names);
    ~StreamedFiles();  // files not committed are removed

    // Starts every file anew, dropping any begun before: where each one's bytes
    // go (the outs, in the order of the names). False when the folder or a file
    // cannot be made (see subject() and reason()).
    bool start(std::vector<PngStripEncoder::Out>* outs);

    // Renames each file in order, stopping at the first that cannot be; false
    // then, or when a file did not take all its bytes.
    bool commit();

    // Whether the files themselves failed (the folder, a write, a rename), and
    // then what (the folder or a file's path) and the system's reason.
    bool failed();
    const QString& subject() const { return mSubject; }
    const QString& reason() const { return mReason; }

private:
    bool fail(const QString& subject, const QString& reason);

    QString mDirectory;
    std::vector<const char*> mNames;
    std::vector<std::unique_ptr<PendingFile>> mFiles;
    QString mSubject;
    QString mReason;
};
