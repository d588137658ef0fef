#pragma once

#include "Annotation.h"
#include "AnnotationListModel.h"
#include "CanvasGeometry.h"
#include "DrawingTool.h"
#include "ImageIntake.h"

#include <QColor>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QQuickWindow>
#include <QSizeF>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

#include <optional>

class EditorSession;
class Preferences;

/**
 * Everything one editor window knows: the annotations, the one being drawn, the tool, the
 * colours and text style for new records, zoom and pan, the selection and the tool keys
 * (read from Preferences as they change). It also turns the canvas's input into edits:
 * clicks, the pan and drawing drags, pinch and wheel steps, Escape, and the selection
 * requests of the text and image views. Made by EditorView.qml, one per window; the canvas
 * input layer, the drawing layer and the event filter drive and read it.
 */
class EditorState : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_MOC_INCLUDE("editor/EditorSession.h")
    Q_MOC_INCLUDE("platform/Preferences.h")
    Q_PROPERTY(EditorSession *session READ session WRITE setSession NOTIFY sessionChanged)
    Q_PROPERTY(
        Preferences *preferences READ preferences WRITE setPreferences NOTIFY preferencesChanged)
    Q_PROPERTY(AnnotationListModel *annotations READ annotations CONSTANT)
    Q_PROPERTY(
        QString currentTool READ currentToolName WRITE setCurrentToolName NOTIFY currentToolChanged)
    Q_PROPERTY(bool isPointerMode READ isPointerMode NOTIFY currentToolChanged)
    // The text style controls work only with the tools that make or pick texts.
    Q_PROPERTY(bool textStyleEnabled READ textStyleEnabled NOTIFY currentToolChanged)
    // Saved: the editor takes no more edits and is on its way out.
    Q_PROPERTY(bool finished READ isFinished NOTIFY finishedChanged)
    Q_PROPERTY(QSizeF viewSize READ viewSize NOTIFY viewSizeChanged)
    Q_PROPERTY(QSizeF imageOffset READ imageOffset NOTIFY imageOffsetChanged)
    Q_PROPERTY(QVariantList colorPresets READ colorPresetList NOTIFY colorPresetsChanged)
    Q_PROPERTY(int activeColorIndex READ activeColorIndex WRITE setActiveColorIndex NOTIFY
                   activeColorIndexChanged)
    Q_PROPERTY(
        QColor selectedColor READ selectedColor WRITE setSelectedColor NOTIFY selectedColorChanged)
    Q_PROPERTY(bool textHasBackground READ textHasBackground WRITE setTextHasBackground NOTIFY
                   textHasBackgroundChanged)
    Q_PROPERTY(
        QString selectedFont READ selectedFont WRITE setSelectedFont NOTIFY selectedFontChanged)
    Q_PROPERTY(double selectedFontSize READ selectedFontSize WRITE setSelectedFontSize NOTIFY
                   selectedFontSizeChanged)
    Q_PROPERTY(double zoomScale READ zoomScale NOTIFY zoomScaleChanged)
    Q_PROPERTY(QString zoomReadout READ zoomReadout NOTIFY zoomScaleChanged)
    Q_PROPERTY(double baseZoom READ baseZoom NOTIFY baseZoomChanged)
    Q_PROPERTY(QSizeF panOffset READ panOffset NOTIFY panOffsetChanged)
    Q_PROPERTY(QSizeF basePan READ basePan NOTIFY basePanChanged)
    Q_PROPERTY(QString selectedAnnotationId READ selectedAnnotationIdString NOTIFY
                   selectedAnnotationIdChanged)
    Q_PROPERTY(QString pointerKey READ pointerKey NOTIFY pointerKeyChanged)
    Q_PROPERTY(QString textKey READ textKey NOTIFY textKeyChanged)
    Q_PROPERTY(QString penKey READ penKey NOTIFY penKeyChanged)
    Q_PROPERTY(QString rectangleKey READ rectangleKey NOTIFY rectangleKeyChanged)
    Q_PROPERTY(QString lineKey READ lineKey NOTIFY lineKeyChanged)
    Q_PROPERTY(QString arrowKey READ arrowKey NOTIFY arrowKeyChanged)
    // Where the document group (capture, text and image views) goes: its top-left corner in
    // the canvas area, and its scale (screen points per canvas unit).
    Q_PROPERTY(QPointF canvasOrigin READ canvasOrigin NOTIFY canvasPlacementChanged)
    Q_PROPERTY(double canvasScale READ canvasScale NOTIFY canvasPlacementChanged)

public:
    /// Zoom never goes below this; it has no upper limit.
    static constexpr double minimumZoom = 0.0001;
    /// The zoom factor of one Ctrl+wheel notch.
    static constexpr double zoomPerNotch = 1.2;

    explicit EditorState(QObject *parent = nullptr);
    ~EditorState() override;

    EditorSession *session() const;
    void setSession(EditorSession *session);
    Preferences *preferences() const;
    void setPreferences(Preferences *preferences);

    AnnotationListModel *annotations() { return &m_annotations; }
    const AnnotationListModel *annotations() const { return &m_annotations; }
    const std::optional<Annotation> &currentAnnotation() const { return m_currentAnnotation; }

    DrawingTool currentTool() const { return m_currentTool; }
    void setCurrentTool(DrawingTool tool);
    QString currentToolName() const { return rawValue(m_currentTool); }
    /// Unknown names are ignored.
    void setCurrentToolName(const QString &name);
    bool isPointerMode() const { return m_currentTool == DrawingTool::pointer; }
    bool textStyleEnabled() const;
    bool isFinished() const { return m_finished; }

    QSizeF viewSize() const { return m_viewSize; }
    QSizeF imageOffset() const { return m_imageOffset; }
    QList<QColor> colorPresets() const { return m_colorPresets; }
    QVariantList colorPresetList() const;
    int activeColorIndex() const { return m_activeColorIndex; }
    void setActiveColorIndex(int index);
    QColor selectedColor() const { return m_selectedColor; }
    /// Also puts the colour in the active swatch and on the selected record.
    void setSelectedColor(const QColor &color);
    bool textHasBackground() const { return m_textHasBackground; }
    void setTextHasBackground(bool on);
    QString selectedFont() const { return m_selectedFont; }
    void setSelectedFont(const QString &family);
    double selectedFontSize() const { return m_selectedFontSize; }
    void setSelectedFontSize(double size);

    double zoomScale() const { return m_zoomScale; }
    /// "Zoom: N%", N the zoom in percent with the fraction dropped.
    QString zoomReadout() const { return zoomReadout(m_zoomScale); }
    static QString zoomReadout(double zoom);
    double baseZoom() const { return m_baseZoom; }
    QSizeF panOffset() const { return m_panOffset; }
    QSizeF basePan() const { return m_basePan; }

    std::optional<QUuid> selectedAnnotationID() const { return m_selectedAnnotationID; }
    QString selectedAnnotationIdString() const;
    bool isSelected(const QUuid &id) const { return m_selectedAnnotationID == id; }

    QString pointerKey() const;
    QString textKey() const;
    QString penKey() const;
    QString rectangleKey() const;
    QString lineKey() const;
    QString arrowKey() const;

    /// The capture's size in points (empty without a capture).
    QSizeF captureSize() const;
    /// The placement of canvas space in the canvas area now.
    CanvasGeometry::View canvasView() const;
    QPointF canvasOrigin() const;
    double canvasScale() const { return canvasView().scale(); }

    /// The canvas area was laid out at `area`: the first layout fixes canvas space.
    void setCanvasAreaSize(QSizeF area);
    QSizeF canvasAreaSize() const { return m_area; }
    /// The window the editor lives in: whose keyboard focus its clicks and Escape end.
    void setWindow(QQuickWindow *window);
    QQuickWindow *window() const { return m_window; }

    Q_INVOKABLE QPointF viewToCanvas(QPointF v) const;
    Q_INVOKABLE QPointF canvasToView(QPointF c) const;

    // The canvas input layer's pointer, at area positions. A press with a drawing tool
    // draws, with the pan tool pans; a press released without moving is also a click.
    void pressCanvas(QPointF v);
    void moveCanvas(QPointF v);
    void releaseCanvas(QPointF v);
    /// The press ended without a release (the pointer was taken away).
    void cancelCanvasPress();

    /// A click on the canvas at area position `v`.
    Q_INVOKABLE void click(QPointF v);
    /// One sample of the drawing drag at area position `v`.
    void drawingChanged(QPointF v);
    /// The drawing drag is over: the record being drawn joins the list.
    void drawingEnded();
    void panChanged(QSizeF translation);
    void panEnded();
    /// `magnification` is the pinch's total since it began.
    void pinchChanged(double magnification);
    void pinchEnded();
    /// A whole pinch of `magnification` at once: one Ctrl+wheel notch.
    void pinchStep(double magnification);
    /// A scroll by `delta` points.
    void wheelPan(QSizeF delta);

    /// Escape in the editor window: ends text editing if a text field has the keyboard,
    /// else closes the editor without saving.
    Q_INVOKABLE void handleEscape();
    /// A text or image view asks to be selected (only the select tool selects).
    Q_INVOKABLE void selectAnnotation(const QString &id);
    /// A text view's editing has ended: deselect it, and drop it later if it is blank.
    Q_INVOKABLE void deselectAnnotation(const QString &id);
    /// Removes every blank text record, keeping the others in order.
    Q_INVOKABLE void removeBlankTexts();

    // The toolbar's actions.
    /// Swatch `index` becomes the active one and its colour the selected colour.
    Q_INVOKABLE void chooseSwatch(int index);
    /// Removes the last record, whatever it is; nothing when there is none.
    Q_INVOKABLE void undo();
    /// Removes every record; the selection is left to name nothing.
    Q_INVOKABLE void clear();
    /// Closes the editor; the annotations are discarded.
    Q_INVOKABLE void cancel();
    /// Renders the capture with every annotation, puts the picture in the stack in place of
    /// the capture and closes the editor. On failure one line is logged and everything
    /// stays as it was. After a save the editor takes no further edits.
    Q_INVOKABLE bool saveRenderedImage();

    // Images. "Insert", paste and drops decode off the UI thread and insert when done.
    /// "Insert": one image file from the session's file chooser, at the canvas centre.
    Q_INVOKABLE void openImagePicker();
    /// Ctrl+V: the first listed file on the clipboard that decodes, else its image data,
    /// at the canvas centre. Nothing image-like changes nothing.
    Q_INVOKABLE void pasteImage();
    /// Inserts a picture red at the canvas centre (200, 200 before the first layout).
    void addDroppedImage(const ImageIntake::Decoded &picture);
    /// A drop at area position `v`: the first of `sources` that decodes goes there, in the
    /// selected colour, mapped with the zoom and pan of the moment it is inserted.
    void dropImage(const QList<ImageIntake::Source> &sources, QPointF v);

Q_SIGNALS:
    void sessionChanged();
    void preferencesChanged();
    void currentAnnotationChanged();
    void currentToolChanged();
    void viewSizeChanged();
    void imageOffsetChanged();
    void colorPresetsChanged();
    void activeColorIndexChanged();
    void selectedColorChanged();
    void textHasBackgroundChanged();
    void selectedFontChanged();
    void selectedFontSizeChanged();
    void zoomScaleChanged();
    void baseZoomChanged();
    void panOffsetChanged();
    void basePanChanged();
    void selectedAnnotationIdChanged();
    void pointerKeyChanged();
    void textKeyChanged();
    void penKeyChanged();
    void rectangleKeyChanged();
    void lineKeyChanged();
    void arrowKeyChanged();
    void canvasPlacementChanged();
    void finishedChanged();
    /// Escape was pressed while a text field had the keyboard: the text box holding it
    /// ends its editing.
    void textEditingCancelled();

private:
    enum class Gesture { none, click, draw, pan };

    void layOut();
    void setSelection(std::optional<QUuid> id);
    void setZoomScale(double zoom);
    void setBaseZoom(double zoom);
    void setPanOffset(QSizeF pan);
    void setBasePan(QSizeF pan);
    /// Ends whatever drag the current press is doing, as if it were released.
    void endDrag();
    bool focusIsTextEditor() const;
    void clearKeyFocus();
    void clearKeyFocusLater();
    void insertImage(const ImageIntake::Decoded &picture, QPointF centre, const QColor &color);

    QPointer<EditorSession> m_session;
    QPointer<Preferences> m_preferences;
    QPointer<QQuickWindow> m_window;
    AnnotationListModel m_annotations;
    std::optional<Annotation> m_currentAnnotation;
    DrawingTool m_currentTool = DrawingTool::pen;
    QSizeF m_area{0, 0};
    QSizeF m_viewSize{0, 0};
    QSizeF m_imageOffset{0, 0};
    QList<QColor> m_colorPresets;
    int m_activeColorIndex = 0;
    QColor m_selectedColor;
    bool m_textHasBackground = false;
    QString m_selectedFont = QStringLiteral("Helvetica");
    double m_selectedFontSize = 24;
    double m_zoomScale = 1;
    double m_baseZoom = 1;
    QSizeF m_panOffset{0, 0};
    QSizeF m_basePan{0, 0};
    std::optional<QUuid> m_selectedAnnotationID;
    bool m_finished = false;

    Gesture m_gesture = Gesture::none;
    QPointF m_pressPosition;
    bool m_pressMoved = false;
};
