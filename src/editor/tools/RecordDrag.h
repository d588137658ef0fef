#pragma once

#include <QPointF>

/**
 * Moving or scaling one record from its view on the canvas (a text box, an image): where it
 * is shown and at what scale while the drag lasts, and the values it started from. One drag
 * at a time: a scale is refused while a move is on and the other way round. Translations are
 * screen points divided by the zoom, so the record follows the pointer at any zoom. A drag
 * that ends keeps what is shown; one that is taken away goes back to where it started. The
 * views write an ended drag into the record.
 */
class RecordDrag
{
public:
    enum class Kind { None, Move, Scale };

    /// The record's own values: no drag is on.
    void reset(QPointF position, double scale);

    QPointF position() const { return m_position; }
    double scale() const { return m_scale; }
    double startScale() const { return m_startScale; }
    Kind active() const { return m_active; }

    /// Shows the record moved by `translation` screen points at `zoom` screen points per
    /// canvas unit; the first call starts a move. False (nothing changes) while a scale is
    /// on or when the numbers are not usable.
    bool moveBy(QPointF translation, double zoom);
    /// Shows the record at `scale`, at least `minimum`; the first call starts a scale. False
    /// (nothing changes) while a move is on or when the scale is not a finite number.
    bool scaleTo(double scale, double minimum);
    /// A drag of `kind` is over: what is shown stays. False when no such drag was on.
    bool end(Kind kind);
    /// A drag of `kind` was taken away: the record is shown where it started. False when no
    /// such drag was on.
    bool cancel(Kind kind);

private:
    QPointF m_position{0, 0};
    double m_scale = 1;
    QPointF m_startPosition{0, 0};
    double m_startScale = 1;
    Kind m_active = Kind::None;
};
