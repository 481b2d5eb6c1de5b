#include "widgets/ErrorAlert.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QString>
#include <QWidget>

void showErrorAlert(QWidget* parent, const QString& message)
{
    auto* box = new QMessageBox(QMessageBox::NoIcon, QCoreApplication::translate("ErrorAlert", "Error"), message,
                                QMessageBox::NoButton, parent);
    box->addButton(QCoreApplication::translate("ErrorAlert", "OK"), QMessageBox::AcceptRole);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName(QStringLiteral("errorAlert"));
    box->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    box->open();
}
