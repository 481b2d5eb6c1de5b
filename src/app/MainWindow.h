#pragma once

#include <QString>
#include <QWidget>

class QMimeData;

// The application's only window: one phone-sized screen of fixed size, titled
// with the program's name. An image file dropped on it is handed on to start a
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

private:
    bool mPainted = false;
};
