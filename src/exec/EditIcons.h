#pragma once

#include <QIcon>
#include <QList>

// The images of a result window's edit tool bar, in button order: Insert, Delete, Edit,
// Locate. Drawn as vectors at whatever size a style asks for, so they stay sharp at any
// font size or screen scale.
QList<QIcon> EditImages();
