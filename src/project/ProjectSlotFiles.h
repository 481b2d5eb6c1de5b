#pragma once

#include <QString>

// File names of a project slot in the Documents directory: slot 0 is the working
// project, 1 to 10 the user's slots. Plain decimal, no padding.
namespace ProjectSlotFiles {

// "project%i.dat": project0.dat, project1.dat ... project10.dat.
QString projectFileName(int slot);

// "thumbnail%i.jpg": written for slots above 0 only.
QString thumbnailFileName(int slot);

}  // namespace ProjectSlotFiles
