#pragma once

#include "widgets/richtext/TRtfReader.h"

#include <QFont>

class QTextDocument;

// Fills a text document with what the RTF reader read: one block per
// paragraph, the fonts, sizes, colours and styles of its runs. Text in the
// automatic colour gets no colour of its own, so that it takes the text
// colour of the palette it is drawn with. A run without a known font or size
// takes the fallback font's. The document has no margin of its own and
// wraps at word boundaries, or anywhere in a word longer than a line.
void FillTextDocument(const TRtfContent &content, QTextDocument &document, const QFont &fallback);
