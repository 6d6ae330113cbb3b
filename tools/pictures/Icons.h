#pragma once

#include <QImage>

// The main window's small pictures, drawn from shapes on transparent canvases.

QImage DrawWarning();  // 28 x 28: yellow warning triangle, black exclamation mark
QImage DrawBulb();     // 28 x 28: a lit light bulb
QImage DrawPageIcon(); // 11 x 14: blue triangle pointing right
QImage DrawAbout();    // 16 x 16: information sign in a speech balloon
QImage DrawPrevious(); // 16 x 16: arrow pointing left
QImage DrawNext();     // 16 x 16: arrow pointing right
QImage DrawCancel();   // 32 x 16: red cross, then its disabled form
QImage DrawExit();     // 32 x 16: door with an arrow, then its disabled form
