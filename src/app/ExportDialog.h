#pragma once

#include <QDialog>

#include "app/ExportOptions.h"

class QComboBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;

// Export As: folder (with a Browse button), name, format (PNG, JPEG, WebP; a
// quality for the last two) and size (the photo's full size or the project's).
// Window-modal; accepted() when Export is pressed with a folder and a name.
class ExportDialog : public QDialog {
    Q_OBJECT
public:
    // `fullSizeAvailable` NO: the project has no drawing at the photo's size, and
    // only its own size is offered.
    ExportDialog(QWidget* parent, const ExportOptions& initial, bool fullSizeAvailable);

    ExportOptions options() const;

    QLineEdit* folderEdit() const { return mFolder; }
    QLineEdit* nameEdit() const { return mName; }
    QComboBox* formatBox() const { return mFormat; }
    QSpinBox* qualityBox() const { return mQuality; }
    QRadioButton* fullSizeButton() const { return mFullSize; }
    QRadioButton* projectSizeButton() const { return mProjectSize; }

private:
    void formatChanged();
    void browse();

    QLineEdit* mFolder = nullptr;
    QLineEdit* mName = nullptr;
    QComboBox* mFormat = nullptr;
    QSpinBox* mQuality = nullptr;
    QRadioButton* mFullSize = nullptr;
    QRadioButton* mProjectSize = nullptr;
};
