#include "app/ShowInFolderButton.h"

#include <QDesktopServices>
#include <QFileInfo>

namespace {

ShowInFolderButton::Opener& opener()
{
    static ShowInFolderButton::Opener open = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    return open;
}

}  // namespace

ShowInFolderButton::ShowInFolderButton(QWidget* parent) : QPushButton(tr("Show in folder"), parent)
{
    setObjectName(QStringLiteral("showInFolder"));
    setFocusPolicy(Qt::TabFocus);
    hide();
    connect(this, &QPushButton::clicked, this, [this] {
        if (!mFolder.isEmpty())
            opener()(QUrl::fromLocalFile(mFolder));
        hide();
    });
}

void ShowInFolderButton::showFor(const QString& path, const QRect& area, int above)
{
    mFolder = QFileInfo(path).absolutePath();
    setToolTip(mFolder);
    adjustSize();
    move(area.x() + area.width() - width() - 10, above - height() - 4);
    show();
    raise();
}

void ShowInFolderButton::setOpener(Opener open)
{
    opener() = open ? std::move(open) : [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}
