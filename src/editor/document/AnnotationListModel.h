#pragma once

#include "editor/document/Annotation.h"

#include <QAbstractListModel>
#include <QHash>
#include <QImage>
#include <QList>
#include <QtQml/qqmlregistration.h>

#include <functional>

/**
 * The editor's committed annotations, in drawing order, as a list model for the views of
 * text and image records. Rows are only ever inserted, removed and changed in place (never
 * reset), so a view made for a record lives as long as the record, keeping its focus and
 * editing state. Records are addressed by id. Owned by AnnotationDocument.
 */
class AnnotationListModel : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Owned by AnnotationDocument")
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role {
        AnnotationIdRole = Qt::UserRole + 1,
        TypeRole, // the DrawingTool, as a number
        PointsRole,
        PositionRole, // the first point
        ColorRole,
        LineWidthRole,
        ImagePayloadRole, // a null image when there is none
        HasImageRole,
        ImageSizeRole,   // the image's size in points; empty when there is none
        TextPayloadRole, // "" when there is none
        HasTextRole,
        ImageScaleRole,
        TextHasBackgroundRole,
        FontNameRole,
        FontSizeRole,
    };

    explicit AnnotationListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return int(m_records.size()); }
    const QList<Annotation> &records() const { return m_records; }
    const Annotation &at(int row) const { return m_records.at(row); }
    /// The row of the record with this id, or -1.
    int indexOf(const QUuid &id) const;
    bool contains(const QUuid &id) const { return indexOf(id) >= 0; }

    void append(const Annotation &annotation);
    /// Appends an image record with the smaller copy of its image that the canvas shows.
    void appendImage(const Annotation &annotation, const QImage &display);
    /// The copy of the record's image the canvas shows: its display copy if it has one,
    /// else its image; a null image for an unknown id or a record without an image.
    QImage displayImage(const QUuid &id) const;
    /// Removes the last record; false when there is none.
    bool removeLast();
    /// Puts `annotation` at `row` (clamped to the list), with the display copy of its image
    /// when it has one.
    void insertAt(int row, const Annotation &annotation, const QImage &display = {});
    /// Removes the record at `row`; false when there is no such row.
    bool removeAt(int row);
    /// Removes every record, one row range at a time.
    void clear();
    /// Removes exactly the records `matches` holds for, keeping the others in order; returns
    /// how many went.
    int removeIf(const std::function<bool(const Annotation &)> &matches);
    /// Changes the record with `id` in place (its id stays); false when there is none.
    bool update(const QUuid &id, const std::function<void(Annotation &)> &change);

Q_SIGNALS:
    void countChanged();

private:
    QList<Annotation> m_records;
    // By record id; a copy goes with its record.
    QHash<QUuid, QImage> m_displayImages;
};
