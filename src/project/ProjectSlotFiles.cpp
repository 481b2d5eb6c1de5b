#include "project/ProjectSlotFiles.h"

namespace ProjectSlotFiles {

QString projectFileName(int slot)
{
    return QStringLiteral("project%1.dat").arg(slot);
}

QString thumbnailFileName(int slot)
{
    return QStringLiteral("thumbnail%1.jpg").arg(slot);
}

}  // namespace ProjectSlotFiles
