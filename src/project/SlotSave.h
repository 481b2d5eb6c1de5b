#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class QFileDevice;
struct ProjectIdentity;

// The files of one project slot written so that, should the program die at any
// point of the save, the slot loads as the save before or as this one, its
// full-size drawing included:
//
//   1. what a save stopped earlier left under the second names is settled (see
//      settle below);
//   2. a photo other than the one kept is written as "projectN.next.photo";
//   3. a record other than the one kept is written as "projectN.next.strokes";
//   4. the project file is replaced;
//   5. the new record, then the new photo, are renamed over the kept ones.
//
// Until step 4 the kept record belongs to the project file, from then on the new
// one, and a load takes the record that belongs to the project file under either
// name. Each file is written whole under a temporary name and renamed into place
// (replaceFile), so none is ever seen half-written. A record or photo that the
// slot already holds byte for byte is not written again.
namespace SlotSave {

struct Contents {
    // Fills the project file; NO on a write error.
    std::function<bool(QFileDevice&)> writeProject;
    // The photo's bytes and the encoded drawing record. An empty photo: the
    // project has none, and the slot's side files are removed once it is saved.
    QByteArray photo;
    QByteArray record;
};

enum class Outcome {
    Saved,           // every file
    SideFileFailed,  // the project file, but not its full-size drawing
    Failed,          // nothing: the slot holds its earlier save
};

// Saves into the slot whose project file is `projectPath`. On a failure `file`
// and `reason` name the file that could not be written and the system's reason.
Outcome write(const QString& projectPath, const Contents& contents, QString* file, QString* reason);

// Whether a stopped save left files under the second names beside the project
// file (a look at the folder, nothing read).
bool unsettled(const QString& projectPath);

// Settles what a stopped save left: a second record that belongs to the project
// file (the save stopped after writing it) is renamed over the kept one, and a
// second photo that the project's record names likewise; any other is removed.
// NO only when a test stopped it (see stopAfterStep).
bool settle(const QString& projectPath, const ProjectIdentity& identity);

// Tests only: every later save stops, as if the program died there, right after
// its `step`-th step (counting from 1 every file written, renamed or removed);
// 0, as at start, lets saves run to their end.
void stopAfterStep(int step);
// The steps the last save took (all of them when it was not stopped).
int stepsTaken();

}  // namespace SlotSave
