#pragma once

#include <QFileDialog>

// The photo picker's file dialog: a pick leaves it on screen (fileSelected told,
// then nothing), for the one who took the file to dismiss once the photo is in
// use; a cancel closes it as any dialog.
class PhotoPicker : public QFileDialog {
    Q_OBJECT
public:
    PhotoPicker(QWidget* parent, const QString& caption, const QString& folder);

    void done(int result) override;
};
