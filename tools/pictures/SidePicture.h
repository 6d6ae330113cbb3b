#pragma once

#include <QImage>

// The picture on the left of the main window: a delivery worker pushing a
// hand truck stacked with cardboard boxes, 163 x 305, opaque.
QImage DrawSidePicture();
