#pragma once

#include <QString>

#include "imageio/HeifModuleInterface.h"

// The HEIF decoders, loaded the first time a HEIF picture is met: libheif and
// libavcodec, with the libraries they bring, live in a module of their own
// (charcolino-heif.so), so that a start and every other picture format go without
// them. The module is looked for beside the program (the build folder), then in
// the installed library folder; CHARCOLINO_HEIF_MODULE names another file.
class HeifModule {
public:
    // The module's functions, loaded once for the process (never unloaded); null
    // and the reason in `error` when it cannot be loaded. Safe on any thread.
    static const HeifModuleInterface* interface(QString* error);

    // Whether a module file is where interface() looks (without loading it).
    static bool installed();

    // Loads the module in `path`: its functions, or null and a one-line reason
    // ("HEIF support is not installed: ...").
    static const HeifModuleInterface* load(const QString& path, QString* error);

    // The file interface() loads.
    static QString path();
};
