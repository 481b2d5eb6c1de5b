#pragma once

#include <QApplication>

#include "BenchmarkRunner.h"

// The main of a benchmark program that needs a widget application: without a
// display chosen it runs on Qt's offscreen platform.
inline int runWidgetBenchmarks(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return runBenchmarks(argc, argv);
}
