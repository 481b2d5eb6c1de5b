#pragma once

#include <QFont>
#include <QString>

// The font at which `text` fits in `width` pixels: the font itself when it
// fits, else smaller in steps of a quarter point, down to `smallest` times its
// size (beyond that whoever draws the text elides or clips it). For titles on
// small controls, whose translations may be longer than the English.
QFont fittingFont(const QFont& font, const QString& text, int width, qreal smallest = 0.75);
