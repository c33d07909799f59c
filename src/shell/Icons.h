#pragma once

#include <QIcon>
#include <QString>

// An icon of the program's own set (16 and 24 pixels), by file name without extension.
QIcon OrvaneIcon(const QString &name);
// The image of a tree node kind.
const QIcon &TreeIcon(int kind);
