#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

// The environment of a program started on the virtual X display `display`: the
// system's, without the user's picture and document folders, Wayland or X
// authority, with HOME, the XDG data, config and cache folders in `home` and a
// runtime folder there for the owner only.
QProcessEnvironment displayEnvironment(const QString& display, const QTemporaryDir& home);
