#include "app/MainWindow.h"

#include "app/CharcolinoViewController.h"

MainWindow::MainWindow(QWidget* parent) : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Charcolino"));
    setFixedSize(CharcolinoViewController::kApplicationFrame.size().toSize());
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(0xe8, 0xe8, 0xec));
    setPalette(p);
}
