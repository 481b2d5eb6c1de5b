#include "widgets/Question.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

QMessageBox* askBeforeProceeding(QWidget* parent, const QString& title, const QString& text,
                                 const QString& proceedText, std::function<void()> proceed)
{
    auto* box = new QMessageBox(QMessageBox::Question, title, text, QMessageBox::NoButton, parent);
    box->setObjectName(QStringLiteral("question"));
    QPushButton* go = box->addButton(proceedText, QMessageBox::DestructiveRole);
    QPushButton* cancel = box->addButton(QCoreApplication::translate("Question", "Cancel"), QMessageBox::RejectRole);
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    QPointer<QPushButton> pressed(go);
    QObject::connect(box, &QDialog::finished, box, [box, pressed, proceed = std::move(proceed)] {
        if (pressed && box->clickedButton() == pressed && proceed)
            proceed();
    });
    box->open();
    return box;
}
