#include "support/FuzzInputs.h"

#include <QDir>
#include <gtest/gtest.h>

QFileInfoList fuzzInputs(const char* keptFolder, const char* seedFolder)
{
    QFileInfoList files;
    for (const char* folder : {keptFolder, seedFolder})
        files += QDir(QStringLiteral(CHARCOLINO_SOURCE_DIR "/") + QLatin1String(folder))
                     .entryInfoList(QDir::Files, QDir::Name);
    EXPECT_FALSE(files.isEmpty()) << "no inputs in " << keptFolder << " or " << seedFolder;
    return files;
}
