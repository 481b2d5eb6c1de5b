#include "app/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QSettings>
#include <QTimer>
#include <QUrl>

#include "app/CharcolinoViewController.h"
#include "imageio/ImageFile.h"

MainWindow::MainWindow(QWidget* parent) : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Charcolino"));
    const QSize phone = CharcolinoViewController::kApplicationFrame.size().toSize();
    setMinimumSize(phone);
    resize(phone);
    setAutoFillBackground(true);
    setAcceptDrops(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(0xe8, 0xe8, 0xec));
    setPalette(p);
}

QString MainWindow::droppedImagePath(const QMimeData* mime)
{
    if (!mime || !mime->hasUrls())
        return QString();
    const QStringList suffixes = ImageFile::readableSuffixes();
    for (const QUrl& url : mime->urls()) {
        if (!url.isLocalFile())
            continue;
        const QFileInfo file(url.toLocalFile());
        if (file.isFile() && suffixes.contains(file.suffix().toLower()))
            return file.absoluteFilePath();
    }
    return QString();
}

void MainWindow::setUnsaved(bool unsaved)
{
    // The desktop adds " - Charcolino" to any title other than the program's name.
    setWindowTitle(unsaved ? tr("* Unsaved strokes") : QStringLiteral("Charcolino"));
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!QApplication::activeModalWidget() && !droppedImagePath(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event)
{
    if (!QApplication::activeModalWidget() && !droppedImagePath(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QString path = droppedImagePath(event->mimeData());
    if (QApplication::activeModalWidget() || path.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // Let the drag end at the source before the import and the sheet.
    QTimer::singleShot(0, this, [this, path] { emit imageFileDropped(path); });
}

void MainWindow::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    if (!mPainted) {
        mPainted = true;
        // The children paint in the same pass; the frame is out after it.
        QTimer::singleShot(0, this, &MainWindow::firstFramePainted);
    }
}

void MainWindow::restoreSavedGeometry()
{
    const QByteArray saved = QSettings().value(QLatin1String(kGeometryKey)).toByteArray();
    if (!saved.isEmpty())
        restoreGeometry(saved);
}

void MainWindow::storeGeometry() const
{
    QSettings().setValue(QLatin1String(kGeometryKey), saveGeometry());
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    fitContent();
}

void MainWindow::showEvent(QShowEvent* event)
{
    fitContent();
    QWidget::showEvent(event);
}

void MainWindow::fitContent()
{
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!child->isWindow())
            child->setGeometry(rect());
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    emit closed();
}
