#pragma once

class QString;
class QWidget;

// The error alert: title "Error", the message, one button "OK", no delegate.
// Window-modal over `parent`'s window and shown with open(): it never blocks the
// caller, and tests find it among the top-level widgets.
void showErrorAlert(QWidget* parent, const QString& message);
