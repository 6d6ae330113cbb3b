#pragma once

#include <QString>

// The faces the windows were designed with, and the Linux faces that stand
// in for them.
namespace WindowFonts {

// The design's faces: the windows' text and the headings.
QString SansSerif();
QString Arial();

// Liberation Sans, which has the same metrics, for each of the design's
// faces (QFont::insertSubstitution; any number of calls).
void InstallSubstitutes();

} // namespace WindowFonts
