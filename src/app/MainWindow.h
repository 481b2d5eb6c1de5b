#pragma once

#include <QWidget>

// The application's only window: one phone-sized screen of fixed size.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
};
