#include "CaptureListModel.h"

CaptureListModel::CaptureListModel(QObject *parent) : QAbstractListModel(parent) {}

int CaptureListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant CaptureListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Row &row = m_rows.at(index.row());
    switch (role) {
    case CaptureIdRole:
        return QVariant::fromValue(row.id);
    case PointSizeRole:
        return row.pointSize;
    case PixelSizeRole:
        return row.pixelSize;
    case ThumbnailRole:
        return row.thumbnail;
    case RevisionRole:
        return row.revision;
    default:
        return {};
    }
}

QHash<int, QByteArray> CaptureListModel::roleNames() const
{
    return {{CaptureIdRole, "captureId"},
            {PointSizeRole, "pointSize"},
            {PixelSizeRole, "pixelSize"},
            {ThumbnailRole, "thumbnail"},
            {RevisionRole, "revision"}};
}

int CaptureListModel::indexOf(quint64 captureId) const
{
    for (int i = 0; i < count(); ++i) {
        if (m_rows.at(i).id == captureId)
            return i;
    }
    return -1;
}

quint64 CaptureListModel::idAt(int row) const
{
    return row >= 0 && row < count() ? m_rows.at(row).id : 0;
}

int CaptureListModel::revisionAt(int row) const
{
    return row >= 0 && row < count() ? m_rows.at(row).revision : -1;
}

void CaptureListModel::prepend(quint64 captureId, const QImage &image)
{
    beginInsertRows(QModelIndex(), 0, 0);
    m_rows.prepend(Row{captureId, image.size(), image.deviceIndependentSize(), QImage(), 0});
    endInsertRows();
    Q_EMIT countChanged();
}

void CaptureListModel::replace(int row, const QImage &image)
{
    if (row < 0 || row >= count())
        return;
    Row &r = m_rows[row];
    r.pixelSize = image.size();
    r.pointSize = image.deviceIndependentSize();
    ++r.revision;
    const QModelIndex changed = index(row);
    Q_EMIT dataChanged(changed, changed, {PointSizeRole, PixelSizeRole, RevisionRole});
}

void CaptureListModel::setThumbnail(quint64 captureId, int revision, const QImage &thumbnail)
{
    const int row = indexOf(captureId);
    if (row < 0 || m_rows.at(row).revision != revision)
        return;
    m_rows[row].thumbnail = thumbnail;
    const QModelIndex changed = index(row);
    Q_EMIT dataChanged(changed, changed, {ThumbnailRole});
}

bool CaptureListModel::remove(quint64 captureId)
{
    const int row = indexOf(captureId);
    if (row < 0)
        return false;
    beginRemoveRows(QModelIndex(), row, row);
    m_rows.removeAt(row);
    endRemoveRows();
    Q_EMIT countChanged();
    return true;
}

void CaptureListModel::clear()
{
    if (m_rows.isEmpty())
        return;
    // A removal, not a reset: views let the rows go as they do for one capture.
    beginRemoveRows(QModelIndex(), 0, count() - 1);
    m_rows.clear();
    endRemoveRows();
    Q_EMIT countChanged();
}
