#pragma once

#include "diag/TDezaZudi.h"

#include <QByteArray>
#include <QMetaType>

class QColor;
class QCursor;

// The colour's identifier ("clWindow", "clWhite", ...) or "$" and its eight
// upper-case hexadecimal digits.
QByteArray ColorToIdent(TColor color);
// A Qt colour as a stored colour value: 0x00BBGGRR; an invalid one is
// clNone (0x1FFFFFFF).
TColor ColorValue(const QColor &color);

// The cursor's identifier from the cursor table, or the number in decimal.
QByteArray CursorToIdent(TCursor cursor);
// A Qt cursor as a cursor identifier number (the table is in docs).
TCursor CursorValue(const QCursor &cursor);
qint32 CursorNumber(Qt::CursorShape shape);

// Properties of these types are event handlers, which a dump never lists.
// TCSSendMsgEvent is one from the start.
void RegisterEventHandlerType(QMetaType type);
bool IsEventHandlerType(QMetaType type);

// How deep a dump follows plain objects before it stops with a marker.
inline constexpr int MaxDumpDepth = 32;
