#include "TextMetrics.h"

#include "text/FontLookup.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHash>
#include <QPaintDevice>
#include <QPainter>
#include <QScreen>

#include <cmath>

namespace {

// The resolution Qt lays out device-less text at (what QFontMetricsF and Qt Quick's text
// items use): the primary screen's logical dpi.
int screenDpi()
{
    if (QCoreApplication::testAttribute(Qt::AA_Use96Dpi))
        return 96;
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        return qRound(screen->logicalDotsPerInchY());
    return 96;
}

// Qt Quick's text field puts its lines a whole number of units apart.
double lineHeight(const QFontMetricsF &metrics)
{
    return std::ceil(metrics.height());
}

} // namespace

namespace TextMetrics {

QFont font(const QString &name, double size, const QPaintDevice *device)
{
    return FontLookup::textFont(FontLookup::cachedFamily(name), size,
                                device ? device->logicalDpiY() : screenDpi());
}

QSizeF measure(const QFont &font, const QString &text, const QPaintDevice *device)
{
    const QFontMetricsF metrics = device ? QFontMetricsF(font, device) : QFontMetricsF(font);
    double width = 0;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString &line : lines)
        width = std::max(width, metrics.horizontalAdvance(line));
    return {width, lineHeight(metrics) * lines.size()};
}

QSizeF idealSize(const QFont &font, const QString &text, const QPaintDevice *device)
{
    const QSizeF size = measure(font, text, device);
    return {text.isEmpty() ? emptyWidth : size.width(), size.height()};
}

void draw(QPainter &painter, QPointF topLeft, const QFont &font, const QString &text)
{
    painter.setFont(font);
    const QFontMetricsF metrics(font, painter.device());
    double baseline = topLeft.y() + metrics.ascent();
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        painter.drawText(QPointF(topLeft.x(), baseline), line);
        baseline += lineHeight(metrics);
    }
}

} // namespace TextMetrics
