#pragma once

#include <QPoint>
#include <Qt>
#include <vector>

class QWidget;

// A mouse drag over a widget as Qt delivers one: a press at the first point, a
// move with the button held to each of the others, a release at the last.
void mouseDrag(QWidget* widget, const std::vector<QPoint>& path, Qt::MouseButton button = Qt::LeftButton);
