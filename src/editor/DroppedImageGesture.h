#pragma once

#include "editor/tools/RecordDrag.h"

#include <QImage>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QSizeF>
#include <QtQml/qqmlregistration.h>

#include <functional>

class EditorState;
struct Annotation;

/**
 * What an image view on the canvas does with the pointer: the centre and scale shown now
 * (`dragPos`, `dragScale`), kept by a RecordDrag as the text boxes' are, and the record
 * written once, when a move or resize ends. One taken away (`moveCancelled`,
 * `resizeCancelled`) goes back to the record's values. Owned by DroppedImageView.
 */
class DroppedImageGesture : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_MOC_INCLUDE("editor/EditorState.h")
    Q_PROPERTY(EditorState *editor READ editor WRITE setEditor NOTIFY editorChanged)
    Q_PROPERTY(
        QString annotationId READ annotationId WRITE setAnnotationId NOTIFY annotationIdChanged)
    Q_PROPERTY(QPointF dragPos READ dragPos NOTIFY dragPosChanged)
    Q_PROPERTY(double dragScale READ dragScale NOTIFY dragScaleChanged)
    // The copy of the record's image the canvas shows.
    Q_PROPERTY(QImage displayImage READ displayImage NOTIFY displayImageChanged)

public:
    /// The smallest scale a resize reaches; there is no largest.
    static constexpr double minimumScale = 0.1;

    explicit DroppedImageGesture(QObject *parent = nullptr);

    EditorState *editor() const { return m_editor; }
    void setEditor(EditorState *editor);
    QString annotationId() const { return m_annotationId; }
    void setAnnotationId(const QString &id);
    QPointF dragPos() const { return m_dragPos; }
    double dragScale() const { return m_dragScale; }
    QImage displayImage() const;

    /// The view is first shown: it takes the record's centre and scale.
    Q_INVOKABLE void begin(QPointF position, double scale);
    /// The image is dragged by `translation` screen points at `zoom` screen points per
    /// canvas unit; the first call of a drag selects the image (with the Select tool).
    Q_INVOKABLE void moveChanged(QPointF translation, double zoom);
    /// The move is over: the record's centre becomes the one shown.
    Q_INVOKABLE void moveEnded();
    /// The move was taken away before its release: the image goes back where it was.
    Q_INVOKABLE void moveCancelled();
    /// The corner handle is dragged `dx` screen points sideways; the image keeps its
    /// centre, so its width grows by twice that, and its aspect ratio.
    Q_INVOKABLE void resizeChanged(double dx, double zoom, double imageWidth);
    /// The resize is over: the record's scale becomes the one shown.
    Q_INVOKABLE void resizeEnded();
    /// The resize was taken away before its release: the image keeps its record's scale.
    Q_INVOKABLE void resizeCancelled();

Q_SIGNALS:
    void editorChanged();
    void annotationIdChanged();
    void displayImageChanged();
    void dragPosChanged();
    void dragScaleChanged();

private:
    void showDrag();
    void writeBack(const std::function<void(Annotation &)> &change);

    QPointer<EditorState> m_editor;
    QString m_annotationId;
    RecordDrag m_drag;
    QPointF m_dragPos{0, 0}; // as last announced
    double m_dragScale = 1;
};
