#pragma once

#include <QPushButton>
#include <QString>
#include <QUrl>
#include <functional>

// "Show in folder", beside the message after an export: opens the folder of the
// file written in the desktop's file manager (through Qt's desktop services). It
// goes when the message goes.
class ShowInFolderButton : public QPushButton {
    Q_OBJECT
public:
    explicit ShowInFolderButton(QWidget* parent);

    // Shown at the bottom right of `area` (parent coordinates), above `above` (the
    // message's top), for the file at `path`.
    void showFor(const QString& path, const QRect& area, int above);
    QString folder() const { return mFolder; }

    // How a folder is opened; QDesktopServices::openUrl unless replaced (tests).
    using Opener = std::function<bool(const QUrl&)>;
    static void setOpener(Opener opener);

private:
    QString mFolder;
};
