#include "app/PhotoPicker.h"

PhotoPicker::PhotoPicker(QWidget* parent, const QString& caption, const QString& folder)
    : QFileDialog(parent, caption, folder)
{
}

void PhotoPicker::done(int result)
{
    if (result == QDialog::Accepted)
        return;  // the file is told; the dialog goes when its photo is in use
    QFileDialog::done(result);
}
