#pragma once

#include <QImage>
#include <QString>
#include <functional>

#include "imageio/PngStripEncoder.h"

class QDateTime;
class QObject;

// The photo album: pictures saved as PNG files in the user's Pictures folder.
//
// save() returns at once; a worker thread writes the picture under a new name
// ("Charcolino 2009-06-30 17-05-42.png", then "... 2.png", "... 3.png" when taken),
// never replacing a file; the file gets the mode of any new file (read and write
// for all, less the user's umask). The completion then runs on the GUI thread
// with the same image and an error text (empty on success). The image is handed
// over: the album holds its only other reference until the completion has it,
// so whatever owns the pixels is released once, after the completion let go of
// them.
class PhotoAlbum {
public:
    // `path`: the file written, empty when the save failed.
    using Completion = std::function<void(QImage image, const QString& error, const QString& path)>;

    // Starts the save into folder() as it is now. The completion runs only while
    // `target` still exists; when it is gone by then, the image is dropped silently.
    static void save(QImage image, QObject* target, Completion completion);
    // The same with the picture made by `make` on the worker thread first, for a
    // picture that takes long to make (a null picture fails the save). The
    // completion gets the picture made.
    static void save(std::function<QImage()> make, QObject* target, Completion completion);

    // A PNG file written as it is made: `write`, on the worker thread, starts the
    // file (PngFileStart; starting again drops what was written) and puts out its
    // bytes, true when it made the whole file. The completion gets a null
    // picture. For a picture too large to hold whole beside its file.
    using PngWrite = std::function<bool(const PngFileStart& start)>;
    static void saveStreamed(PngWrite write, QObject* target, Completion completion);

    // Where pictures go: the folder set for tests, else the user's Pictures folder.
    static QString folder();

    // Redirects every later save into `folder` (created when missing); an empty
    // text returns to the user's Pictures folder.
    static void setFolderForTesting(const QString& folder);

    // The synchronous part, run on the worker thread: makes `folder` if it is
    // missing and writes `image` there as a new PNG file. Answers the empty text
    // on success (and the file's path in `savedPath`), else a message naming the
    // folder and the reason.
    static QString writePng(const QImage& image, const QString& folder, QString* savedPath = nullptr);
    // The same with the moment that names the file given.
    static QString writePng(const QImage& image, const QString& folder, const QDateTime& when,
                            QString* savedPath = nullptr);

    // The same for a file written as it is made (saveStreamed).
    static QString writeStreamedPng(const PngWrite& write, const QString& folder, const QDateTime& when,
                                    QString* savedPath = nullptr);

    // Writes `bytes` whole to the open file `fd` and waits until they are on the
    // disk (unless `sync` is false). Answers the empty text on success, else the
    // system's reason ("No space left on device").
    static QString writeWhole(int fd, const QByteArray& bytes, bool sync = true);
};
