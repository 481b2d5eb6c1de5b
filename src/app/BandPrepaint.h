#pragma once

class QWidget;

// Draws a view that is not shown yet once, into a scratch image: the fonts its
// text uses are found, opened and their glyphs drawn then, while the program
// waits for the GL driver anyway, instead of during its first frame.
namespace BandPrepaint {
void run(QWidget* view);
}
