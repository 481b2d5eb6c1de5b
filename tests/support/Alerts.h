#pragma once

#include <QStringList>

// "title: text" of every alert on screen; closes them.
QStringList takeAlerts();
