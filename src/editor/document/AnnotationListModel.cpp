#include "AnnotationListModel.h"

#include <algorithm>

AnnotationListModel::AnnotationListModel(QObject *parent) : QAbstractListModel(parent)
{
    // Every removal passes through here while its rows still exist.
    connect(this, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex &, int first, int last) {
                for (int row = first; row <= last; ++row)
                    m_displayImages.remove(m_records.at(row).id);
            });
}

int AnnotationListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant AnnotationListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Annotation &record = m_records.at(index.row());
    switch (role) {
    case AnnotationIdRole:
        return record.id.toString(QUuid::WithoutBraces);
    case TypeRole:
        return int(record.type);
    case PointsRole: {
        QVariantList points;
        points.reserve(record.points.size());
        for (const QPointF &point : record.points)
            points.append(point);
        return points;
    }
    case PositionRole:
        return record.points.isEmpty() ? QPointF() : record.points.first();
    case ColorRole:
        return record.color;
    case LineWidthRole:
        return record.lineWidth;
    case ImagePayloadRole:
        return record.imagePayload.value_or(QImage());
    case HasImageRole:
        return record.imagePayload.has_value();
    case ImageSizeRole:
        return record.imagePayload ? record.imagePayload->deviceIndependentSize() : QSizeF(0, 0);
    case TextPayloadRole:
        return record.textPayload.value_or(QString());
    case HasTextRole:
        return record.textPayload.has_value();
    case ImageScaleRole:
        return record.imageScale;
    case TextHasBackgroundRole:
        return record.textHasBackground;
    case FontNameRole:
        return record.fontName;
    case FontSizeRole:
        return record.fontSize;
    default:
        return {};
    }
}

QHash<int, QByteArray> AnnotationListModel::roleNames() const
{
    return {{AnnotationIdRole, "annotationId"},
            {TypeRole, "type"},
            {PointsRole, "points"},
            {PositionRole, "position"},
            {ColorRole, "color"},
            {LineWidthRole, "lineWidth"},
            {ImagePayloadRole, "imagePayload"},
            {HasImageRole, "hasImage"},
            {ImageSizeRole, "imageSize"},
            {TextPayloadRole, "textPayload"},
            {HasTextRole, "hasText"},
            {ImageScaleRole, "imageScale"},
            {TextHasBackgroundRole, "textHasBackground"},
            {FontNameRole, "fontName"},
            {FontSizeRole, "fontSize"}};
}

int AnnotationListModel::indexOf(const QUuid &id) const
{
    for (qsizetype row = 0; row < m_records.size(); ++row) {
        if (m_records.at(row).id == id)
            return int(row);
    }
    return -1;
}

void AnnotationListModel::append(const Annotation &annotation)
{
    const int row = count();
    beginInsertRows({}, row, row);
    m_records.append(annotation);
    endInsertRows();
    Q_EMIT countChanged();
}

void AnnotationListModel::appendImage(const Annotation &annotation, const QImage &display)
{
    if (!display.isNull())
        m_displayImages.insert(annotation.id, display);
    append(annotation);
}

QImage AnnotationListModel::displayImage(const QUuid &id) const
{
    const int row = indexOf(id);
    if (row < 0)
        return {};
    return m_displayImages.value(id, m_records.at(row).imagePayload.value_or(QImage()));
}

void AnnotationListModel::insertAt(int row, const Annotation &annotation, const QImage &display)
{
    row = std::clamp(row, 0, count());
    if (!display.isNull())
        m_displayImages.insert(annotation.id, display);
    beginInsertRows({}, row, row);
    m_records.insert(row, annotation);
    endInsertRows();
    Q_EMIT countChanged();
}

bool AnnotationListModel::removeAt(int row)
{
    if (row < 0 || row >= count())
        return false;
    beginRemoveRows({}, row, row);
    m_records.removeAt(row);
    endRemoveRows();
    Q_EMIT countChanged();
    return true;
}

bool AnnotationListModel::removeLast()
{
    if (m_records.isEmpty())
        return false;
    const int row = count() - 1;
    beginRemoveRows({}, row, row);
    m_records.removeLast();
    endRemoveRows();
    Q_EMIT countChanged();
    return true;
}

void AnnotationListModel::clear()
{
    if (m_records.isEmpty())
        return;
    beginRemoveRows({}, 0, count() - 1);
    m_records.clear();
    endRemoveRows();
    Q_EMIT countChanged();
}

int AnnotationListModel::removeIf(const std::function<bool(const Annotation &)> &matches)
{
    int removed = 0;
    // From the end, one run of neighbouring matches at a time, so rows before a run keep
    // their indices while it goes.
    int row = count() - 1;
    while (row >= 0) {
        if (!matches(m_records.at(row))) {
            --row;
            continue;
        }
        int first = row;
        while (first > 0 && matches(m_records.at(first - 1)))
            --first;
        beginRemoveRows({}, first, row);
        m_records.remove(first, row - first + 1);
        endRemoveRows();
        removed += row - first + 1;
        row = first - 1;
    }
    if (removed > 0)
        Q_EMIT countChanged();
    return removed;
}

bool AnnotationListModel::update(const QUuid &id, const std::function<void(Annotation &)> &change)
{
    const int row = indexOf(id);
    if (row < 0)
        return false;
    Annotation &record = m_records[row];
    change(record);
    record.id = id;
    const QModelIndex changed = index(row);
    Q_EMIT dataChanged(changed, changed);
    return true;
}
