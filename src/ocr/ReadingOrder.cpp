#include "ReadingOrder.h"

#include <algorithm>

namespace {

/// Two lines share a row when they overlap by at least half the height of the lower one.
bool sameRow(const QRect &first, const QRect &line)
{
    const int overlap = std::min(first.bottom(), line.bottom()) - std::max(first.top(), line.top());
    return overlap * 2 >= std::min(first.height(), line.height());
}

} // namespace

QString ReadingOrder::join(QList<RecognisedLine> lines)
{
    std::stable_sort(
        lines.begin(), lines.end(),
        [](const RecognisedLine &a, const RecognisedLine &b) { return a.box.top() < b.box.top(); });
    QStringList rows;
    qsizetype at = 0;
    while (at < lines.size()) {
        const QRect first = lines.at(at).box;
        QList<RecognisedLine> row;
        while (at < lines.size() && sameRow(first, lines.at(at).box))
            row.append(lines.at(at++));
        std::stable_sort(row.begin(), row.end(),
                         [](const RecognisedLine &a, const RecognisedLine &b) {
                             return a.box.left() < b.box.left();
                         });
        QStringList parts;
        for (const RecognisedLine &line : row)
            parts.append(line.text);
        rows.append(parts.join(u'\t'));
    }
    return rows.join(u'\n');
}
