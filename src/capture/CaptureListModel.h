#pragma once

#include <QAbstractListModel>
#include <QImage>
#include <QList>
#include <QtQml/qqmlregistration.h>

/**
 * The captures of the run as a list model, newest first. Each row keeps a stable id, so
 * an editor can follow its capture while newer ones push it down the list, its sizes and its
 * thumbnail; the full pixels live in the CaptureStore.
 * Owned by ScreenshotManager, which alone changes it; the stack panel binds to it.
 */
class CaptureListModel : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Owned by ScreenshotManager")
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role {
        CaptureIdRole = Qt::UserRole + 1,
        PointSizeRole,
        PixelSizeRole,
        ThumbnailRole,
        RevisionRole,
    };

    explicit CaptureListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return int(m_rows.size()); }
    int indexOf(quint64 captureId) const;
    quint64 idAt(int row) const;
    int revisionAt(int row) const;

    /// A row for `image`, of which only the sizes are kept.
    void prepend(quint64 captureId, const QImage &image);
    /// Takes the sizes of a new image for the row; the old thumbnail stays until setThumbnail.
    void replace(int row, const QImage &image);
    /// Sets the thumbnail made for the row's `revision`; a stale one is dropped.
    void setThumbnail(quint64 captureId, int revision, const QImage &thumbnail);
    /// Takes the row of `captureId` out; false if there is none.
    bool remove(quint64 captureId);
    /// Takes every row out.
    void clear();

Q_SIGNALS:
    void countChanged();

private:
    struct Row
    {
        quint64 id = 0;
        QSize pixelSize;
        QSizeF pointSize;
        QImage thumbnail;
        int revision = 0;
    };
    QList<Row> m_rows;
};
