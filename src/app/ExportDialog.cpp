#include "app/ExportDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

ExportDialog::ExportDialog(QWidget* parent, const ExportOptions& initial, bool fullSizeAvailable) : QDialog(parent)
{
    setObjectName(QStringLiteral("exportDialog"));
    setWindowTitle(tr("Export As"));
    setWindowModality(Qt::WindowModal);

    mFolder = new QLineEdit(initial.folder, this);
    mFolder->setAccessibleName(tr("Folder"));
    auto* browseButton = new QPushButton(tr("Browse…"), this);
    connect(browseButton, &QPushButton::clicked, this, &ExportDialog::browse);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(mFolder, 1);
    folderRow->addWidget(browseButton);

    mName = new QLineEdit(initial.name, this);
    mName->setAccessibleName(tr("Name"));
    mFormat = new QComboBox(this);
    mFormat->setAccessibleName(tr("Format"));
    mFormat->addItem(QStringLiteral("PNG"), int(ExportOptions::Png));
    mFormat->addItem(QStringLiteral("JPEG"), int(ExportOptions::Jpeg));
    mFormat->addItem(QStringLiteral("WebP"), int(ExportOptions::Webp));
    mFormat->setCurrentIndex(mFormat->findData(int(initial.format)));
    mQuality = new QSpinBox(this);
    mQuality->setAccessibleName(tr("Quality"));
    mQuality->setRange(1, 100);
    mQuality->setValue(initial.quality);
    mQuality->setSuffix(QStringLiteral(" %"));
    connect(mFormat, &QComboBox::currentIndexChanged, this, &ExportDialog::formatChanged);

    mFullSize = new QRadioButton(tr("The photo's full size"), this);
    mProjectSize = new QRadioButton(tr("The project's size"), this);
    mFullSize->setEnabled(fullSizeAvailable);
    (initial.fullSize && fullSizeAvailable ? mFullSize : mProjectSize)->setChecked(true);
    auto* sizes = new QVBoxLayout;
    sizes->addWidget(mFullSize);
    sizes->addWidget(mProjectSize);

    auto* form = new QFormLayout;
    form->addRow(tr("Folder:"), folderRow);
    form->addRow(tr("Name:"), mName);
    form->addRow(tr("Format:"), mFormat);
    form->addRow(tr("Quality:"), mQuality);
    form->addRow(tr("Size:"), sizes);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    // Named here too, for systems without Qt's own translations.
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("Cancel"));
    QPushButton* exportButton = buttons->addButton(tr("Export"), QDialogButtonBox::AcceptRole);
    exportButton->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (!mFolder->text().trimmed().isEmpty() && !mName->text().trimmed().isEmpty())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    formatChanged();
}

ExportOptions ExportDialog::options() const
{
    ExportOptions o;
    o.folder = mFolder->text().trimmed();
    o.name = mName->text().trimmed();
    o.format = ExportOptions::Format(mFormat->currentData().toInt());
    o.quality = mQuality->value();
    o.fullSize = mFullSize->isChecked();
    return o;
}

void ExportDialog::formatChanged()
{
    // PNG keeps every pixel: no quality to choose.
    mQuality->setEnabled(mFormat->currentData().toInt() != int(ExportOptions::Png));
}

void ExportDialog::browse()
{
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Export To"), mFolder->text());
    if (!folder.isEmpty())
        mFolder->setText(folder);
}
