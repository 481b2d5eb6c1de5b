#pragma once

#include <QString>
#include <QWidget>

class QMimeData;

// The application's only window, titled with the program's name: the main
// screen fills it. It starts at the phone-sized 320 x 460 points, never gets
// smaller, and may be resized and maximised. An image file dropped on it is handed on to start a
// new project; nothing is taken while a modal screen is up. Closing it ends the
// application, whatever other window (a sheet waiting for an answer) is still up.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);

    // The first local file among the dropped URLs whose suffix names an image
    // format this program reads; empty when there is none.
    static QString droppedImagePath(const QMimeData* mime);

    // The title is the program's name, or "* Unsaved strokes" while the working
    // image has strokes that are in no project slot.
    void setUnsaved(bool unsaved);

    // The size, position and state of the last run, from the program's settings;
    // nothing changes when none are stored. storeGeometry() writes them there.
    void restoreSavedGeometry();
    void storeGeometry() const;
    static constexpr const char* kGeometryKey = "window/geometry";

signals:
    void imageFileDropped(const QString& path);
    // Once, after the window's first paint has been handed to the screen.
    void firstFramePainted();
    // The window was closed: the application ends.
    void closed();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Every child that is not a window of its own covers the whole window.
    void fitContent();

    bool mPainted = false;
};
