#include "TextBands.h"

#include <algorithm>
#include <vector>

namespace {

struct Run
{
    int top;
    int bottom; // exclusive
};

bool inked(const uchar *row, int width)
{
    const auto [darkest, lightest] = std::minmax_element(row, row + width);
    return *lightest - *darkest >= TextBands::InkContrast;
}

/// The runs of rows holding text, with gaps of fewer than MinimumGap blank rows closed.
std::vector<Run> textRuns(const QImage &grey)
{
    std::vector<Run> runs;
    for (int y = 0; y < grey.height(); ++y) {
        if (!inked(grey.constScanLine(y), grey.width()))
            continue;
        if (!runs.empty() && y - runs.back().bottom < TextBands::MinimumGap)
            runs.back().bottom = y + 1;
        else
            runs.push_back({y, y + 1});
    }
    return runs;
}

/// `band` cut at the blank columns, at least `gap` wide, between columns of text.
QList<QRect> columnsOf(const QImage &grey, const QRect &band, int gap)
{
    std::vector<uchar> darkest(size_t(grey.width()), 255), lightest(size_t(grey.width()), 0);
    for (int y = band.top(); y <= band.bottom(); ++y) {
        const uchar *row = grey.constScanLine(y);
        for (int x = 0; x < grey.width(); ++x) {
            darkest[size_t(x)] = std::min(darkest[size_t(x)], row[x]);
            lightest[size_t(x)] = std::max(lightest[size_t(x)], row[x]);
        }
    }
    const auto blank = [&](int x) {
        return lightest[size_t(x)] - darkest[size_t(x)] < TextBands::InkContrast;
    };
    QList<QRect> columns;
    int left = 0, x = 0;
    while (x < grey.width() && blank(x))
        ++x; // a blank margin stays with the first column
    while (x < grey.width()) {
        if (!blank(x)) {
            ++x;
            continue;
        }
        const int start = x;
        while (x < grey.width() && blank(x))
            ++x;
        if (x - start >= gap && x < grey.width()) {
            const int cut = (start + x) / 2;
            columns.append(QRect(left, band.top(), cut - left, band.height()));
            left = cut;
        }
    }
    columns.append(QRect(left, band.top(), grey.width() - left, band.height()));
    return columns;
}

} // namespace

int TextBands::xHeightOf(const QImage &grey, int top, int height)
{
    const int bottom = std::min(top + height, grey.height());
    top = std::max(top, 0);
    if (grey.isNull() || top >= bottom)
        return 0;
    uchar darkest = 255, lightest = 0;
    for (int y = top; y < bottom; ++y) {
        const uchar *row = grey.constScanLine(y);
        const auto [low, high] = std::minmax_element(row, row + grey.width());
        darkest = std::min(darkest, *low);
        lightest = std::max(lightest, *high);
    }
    const int middle = (darkest + lightest) / 2;
    std::vector<int> ink;
    for (int y = top; y < bottom; ++y) {
        const uchar *row = grey.constScanLine(y);
        ink.push_back(int(std::count_if(row, row + grey.width(),
                                        [middle](uchar pixel) { return pixel < middle; })));
    }
    const int fullest = *std::max_element(ink.begin(), ink.end());
    int longest = 0, stretch = 0;
    for (const int count : ink) {
        stretch = fullest > 0 && count * 2 >= fullest ? stretch + 1 : 0;
        longest = std::max(longest, stretch);
    }
    return longest;
}

QList<TextBand> TextBands::find(const QImage &grey, int largestScale, int pieces)
{
    if (grey.isNull() || grey.format() != QImage::Format_Grayscale8)
        return {};
    const std::vector<Run> runs = textRuns(grey);
    if (runs.empty())
        return {};

    // Each line reaches to the middle of the blank rows around it, the first and last to the
    // picture's edges.
    struct Line
    {
        int top, bottom, inked, scale;
    };
    std::vector<Line> lines;
    for (size_t i = 0; i < runs.size(); ++i) {
        const int top = i == 0 ? 0 : (runs[i - 1].bottom + runs[i].top) / 2;
        const int bottom =
            i + 1 == runs.size() ? grey.height() : (runs[i].bottom + runs[i + 1].top) / 2;
        const int inked = runs[i].bottom - runs[i].top;
        const bool small = xHeightOf(grey, runs[i].top, inked) < SmallXHeight;
        lines.push_back({top, bottom, inked, small ? std::max(largestScale, 1) : 1});
    }

    // Neighbours of the same enlargement go together, cut where the work done so far (pixels
    // read) passes an equal share, so that there are no more stretches than pieces asked for
    // (and changes of enlargement).
    const auto work = [](const Line &line) {
        return qint64(line.bottom - line.top) * line.scale * line.scale;
    };
    qint64 total = 0;
    for (const Line &line : lines)
        total += work(line);
    const qint64 parts = std::max(pieces, 1);
    std::vector<Line> stretches;
    qint64 done = 0;
    qint64 share = -1;
    for (const Line &line : lines) {
        // The share a line belongs to is the one its middle falls in.
        const qint64 its =
            std::min(parts - 1, (done + work(line) / 2) * parts / std::max<qint64>(total, 1));
        done += work(line);
        if (stretches.empty() || stretches.back().scale != line.scale || its != share) {
            stretches.push_back(line);
            share = its;
            continue;
        }
        stretches.back().bottom = line.bottom;
        stretches.back().inked = std::max(stretches.back().inked, line.inked);
    }

    QList<TextBand> bands;
    for (const Line &stretch : stretches) {
        const QRect rows(0, stretch.top, grey.width(), stretch.bottom - stretch.top);
        for (const QRect &column :
             columnsOf(grey, rows, std::max(stretch.inked * ColumnGapLines, MinimumGap)))
            bands.append({column, stretch.scale});
    }
    return bands;
}
