#pragma once

#include <QImage>
#include <QList>
#include <QRect>

/** A part of a prepared picture read on its own, and its enlargement. */
struct TextBand
{
    QRect area;
    int scale = 1;

    bool operator==(const TextBand &) const = default;
};

/**
 * Cuts a prepared picture (8-bit grey, dark on light, at its own size) into bands of whole
 * text lines at the blank rows between them, so that several engines can read it at once,
 * and picks each band's enlargement from the height of its small letters: small text is
 * enlarged, large text is read as it is (enlarging it costs time and reads no better). A
 * band is cut again at blank columns as wide as a few lines are high, the gap between
 * columns of text: read in a band of a few lines only, side-by-side columns would run
 * together into one line. Used by TextCopy's worker.
 */
class TextBands
{
public:
    /// A row with less than this between its lightest and darkest pixel holds no text.
    static constexpr int InkContrast = 64;
    /// Fewer blank rows than this do not part two lines (the dot of an i, an accent).
    static constexpr int MinimumGap = 2;
    /// Text whose small letters are fewer rows high than this is enlarged.
    static constexpr int SmallXHeight = 9;
    /// Blank columns at least this many times as wide as the band's tallest line is high
    /// part two columns of text (the gaps between words are far narrower).
    static constexpr int ColumnGapLines = 2;

    /// The bands of `grey`, top to bottom and left to right, covering it whole: about
    /// `pieces` stretches of rows (more where neighbours need different enlargements, fewer
    /// where there are fewer lines), each cut at the gaps between columns. Small text is
    /// enlarged `largestScale` times. Empty when no row holds text.
    static QList<TextBand> find(const QImage &grey, int largestScale, int pieces);
    /// The height of the small letters of the text in rows [top, top + height) of `grey`:
    /// the longest stretch of rows at least half as full of ink as the fullest.
    static int xHeightOf(const QImage &grey, int top, int height);
};
