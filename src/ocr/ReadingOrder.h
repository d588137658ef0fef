#pragma once

#include "TextRecogniser.h"

/**
 * Puts recognised lines in the order a reader takes them: rows from top to bottom, and
 * within a row (lines side by side, such as a label and its value) from left to right,
 * joined by a tab so the gap between them survives the paste. Used by TextCopy.
 */
class ReadingOrder
{
public:
    static QString join(QList<RecognisedLine> lines);
};
