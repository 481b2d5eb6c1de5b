#include "widgets/ErrorAlert.h"

#include <QMessageBox>
#include <QString>
#include <QWidget>

void showErrorAlert(QWidget* parent, const QString& message)
{
    auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("Error"), message,
                                QMessageBox::NoButton, parent);
    box->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName(QStringLiteral("errorAlert"));
    box->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    box->open();
}
