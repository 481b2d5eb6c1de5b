#pragma once

#include "support/Alerts.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

#include "base/Geometry.h"

class ActionSheet;
class FileListViewController;
class QFileDialog;
class QPushButton;
class SegmentedControl;

// Driving the main screen as a user would, for the widget and end-to-end tests.
namespace MainScreenTestSupport {

// The action sheet on screen, or null.
ActionSheet* openSheet();
// Clicks the sheet's button of that title; false when there is none.
bool chooseOnSheet(const QString& title);


// Chooses `path` in the picker and presses Open.
void pickFile(QFileDialog* picker, const QString& path);

void clickSegment(SegmentedControl* control, int index);

// Selects the row of `slot` in the (shown) browser and presses its Save/Load button.
void chooseSlot(FileListViewController* browser, int slot);

// A project file as the program writes it: header with `saveTime` (19 characters),
// then the original (buffer 2 of `fill`) and working (buffer 3) buffers.
QByteArray projectFileBytes(int bufferWidth, int bufferHeight, FloatSize picsize,
                            const std::function<std::uint32_t(int buffer, int x, int y)>& fill,
                            const char* saveTime = "2001-02-03 04:05:06");
bool writeBytes(const QString& path, const QByteArray& bytes);
QByteArray readBytes(const QString& path);

// Removes every project and thumbnail file from the Documents directory.
void clearDocuments();

// Runs the application's event loop until something ends it; a loop still running
// after `limitMs` is ended with the code -99.
int runEventLoop(int limitMs = 60000);

}  // namespace MainScreenTestSupport
