#pragma once

#include <QImage>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QSizeF>
#include <QtQml/qqmlregistration.h>

class EditorState;

/**
 * What an image view on the canvas does with the pointer: the centre and scale shown now
 * (`dragPos`, `dragScale`), those at the start of the current move or resize, and the
 * record written once, when a gesture ends. Translations are in screen points and divided by
 * the canvas's scale, so a move follows the pointer at any zoom. Owned by DroppedImageView.
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
    QPointF startPos() const { return m_startPos; }
    double startScale() const { return m_startScale; }
    QImage displayImage() const;

    /// The view is first shown: it takes the record's centre and scale.
    Q_INVOKABLE void begin(QPointF position, double scale);
    /// The image is dragged by `translation` screen points at `zoom` screen points per
    /// canvas unit; the first call of a drag selects the image (with the Select tool).
    Q_INVOKABLE void moveChanged(QPointF translation, double zoom);
    /// The move is over: the record's centre becomes the one shown.
    Q_INVOKABLE void moveEnded();
    /// The corner handle is dragged `dx` screen points sideways; the image keeps its
    /// centre, so its width grows by twice that, and its aspect ratio.
    Q_INVOKABLE void resizeChanged(double dx, double zoom, double imageWidth);
    /// The resize is over: the record's scale becomes the one shown.
    Q_INVOKABLE void resizeEnded();

Q_SIGNALS:
    void editorChanged();
    void annotationIdChanged();
    void displayImageChanged();
    void dragPosChanged();
    void dragScaleChanged();

private:
    void setDragPos(QPointF position);
    void setDragScale(double scale);

    QPointer<EditorState> m_editor;
    QString m_annotationId;
    QPointF m_dragPos{0, 0};
    double m_dragScale = 1;
    QPointF m_startPos{0, 0};
    double m_startScale = 1;
};
