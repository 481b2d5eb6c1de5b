#pragma once

#include <QString>
#include <functional>

class QMessageBox;
class QWidget;

// A question before something that cannot be taken back: a window-modal box over
// `parent` with the button `proceedText` and Cancel (the default, and what Esc or
// closing the box means). Opened with open(), so it returns at once; `proceed`
// runs after the box has closed, and only when `proceedText` was pressed.
QMessageBox* askBeforeProceeding(QWidget* parent, const QString& title, const QString& text,
                                 const QString& proceedText, std::function<void()> proceed);
