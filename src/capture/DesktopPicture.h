#pragma once

#include <QImage>
#include <QList>
#include <QRect>

/**
 * Parts of the desktop captured at one moment, each with the logical rectangle it shows,
 * at its screen's own pixels. A capture is composed from it: the region overlay keeps one
 * of the whole desktop and cuts the accepted selection from it.
 */
struct DesktopPicture
{
    struct Part
    {
        QRect logical;
        QImage image;
    };

    QList<Part> parts;

    bool isEmpty() const { return parts.isEmpty(); }
    /// `logical` as one image, at the highest pixel density of the parts it covers (lower
    /// ones scaled up smoothly, so the sharpest screen loses nothing), with that density as
    /// its device pixel ratio. Where no part lies (gaps between screens) it is transparent.
    /// A null image when no part meets `logical`.
    QImage compose(const QRect &logical) const;
    /// The colour at a logical point, as the picture shows it; invalid off every part.
    QColor colourAt(QPointF logical) const;
};
