#include "support/Alerts.h"

#include <QApplication>
#include <QMessageBox>

QStringList takeAlerts()
{
    QStringList texts;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
            texts << box->windowTitle() + ": " + box->text();
            box->close();
        }
    QApplication::processEvents();
    return texts;
}
