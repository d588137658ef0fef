#pragma once

#include "ImageIntake.h"
#include "editor/document/AnnotationDocument.h"
#include "editor/document/SavedEdits.h"
#include "editor/tools/CanvasPointer.h"
#include "editor/tools/ToolSettings.h"
#include "editor/viewport/CanvasViewport.h"

#include <QList>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QVariantList>

#include <QtQml/qqmlregistration.h>
#include <memory>
#include <optional>

class EditorSession;
class Preferences;

/**
 * One editor window's model, as QML sees it: the document, the viewport and the tool
 * settings it owns, the session it edits and the preferences it reads its tool keys from.
 * It ties them together (a tool change ends the drag and the selection; a colour or a width
 * chosen while a record is selected restyles it), takes the canvas's pointer, Escape and the
 * toolbar's actions, and brings images in. What it wants of the window (letting go of the
 * keyboard, hiding, closing) it asks for by signal or through the session. It takes up the
 * capture's saved edits, or the draft an earlier editor left, once the picture is there;
 * closing with edits unsaved leaves them as the capture's draft, and only Cancel throws
 * them away. Made by EditorView.qml, one per window.
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
    Q_PROPERTY(AnnotationDocument *document READ document CONSTANT)
    Q_PROPERTY(CanvasViewport *viewport READ viewport CONSTANT)
    Q_PROPERTY(ToolSettings *tools READ tools CONSTANT)
    // The handles of the selected shape and the frame of a selected stroke, in canvas-area
    // positions; none when no shape is selected.
    Q_PROPERTY(QVariantList selectionHandles READ selectionHandles NOTIFY selectionHandlesChanged)
    Q_PROPERTY(QRectF selectionFrame READ selectionFrame NOTIFY selectionHandlesChanged)
    // The width buttons apply: a stroked tool is chosen, or Select with a stroked shape.
    Q_PROPERTY(bool showsLineWidths READ showsLineWidths NOTIFY showsLineWidthsChanged)
    // The redaction styles apply: Redact is the tool, or Select with a redaction selected.
    Q_PROPERTY(bool showsRedactStyles READ showsRedactStyles NOTIFY showsLineWidthsChanged)
    // The crop in canvas-area positions; a null rectangle when there is none.
    Q_PROPERTY(QRectF cropView READ cropView NOTIFY cropViewChanged)
    // The region Copy Text reads, in the canvas area's points; empty: the whole picture.
    Q_PROPERTY(QRectF textRegionView READ textRegionView NOTIFY textRegionChanged)
    // Saved: the editor takes no more edits and is on its way out.
    Q_PROPERTY(bool finished READ isFinished NOTIFY finishedChanged)
    // The edits shown are a draft an earlier editor left; false again from the next edit.
    Q_PROPERTY(bool draftRestored READ draftRestored NOTIFY draftRestoredChanged)
    // "Revert to Original" applies: the capture has saved edits and something is left to drop.
    Q_PROPERTY(bool canRevert READ canRevert NOTIFY canRevertChanged)

public:
    explicit EditorState(QObject *parent = nullptr);
    ~EditorState() override;

    EditorSession *session() const;
    void setSession(EditorSession *session);
    Preferences *preferences() const;
    void setPreferences(Preferences *preferences);

    AnnotationDocument *document() { return &m_document; }
    const AnnotationDocument *document() const { return &m_document; }
    CanvasViewport *viewport() { return &m_viewport; }
    const CanvasViewport *viewport() const { return &m_viewport; }
    ToolSettings *tools() { return &m_tools; }
    const ToolSettings *tools() const { return &m_tools; }
    bool isFinished() const { return m_finished; }
    bool draftRestored() const { return m_draftRestored; }
    bool canRevert() const;
    bool showsLineWidths() const;
    bool showsRedactStyles() const;
    QRectF cropView() const;
    QRectF textRegionView() const;
    /// The region Copy Text reads, in canvas units; none: the whole picture.
    std::optional<QRectF> textRegion() const { return m_textRegion; }
    /// A press with Shift held: where a drag marks the region Copy Text reads. False (the
    /// press is the tool's) with the ellipse, whose Shift makes a circle.
    bool pressTextRegion(QPointF v);
    /// The drag's corner moved to `v` (canvas area points).
    void moveTextRegion(QPointF v);
    /// The drag ended at `v`: a region too small to hold text (a Shift-click) reads the
    /// whole picture again.
    void releaseTextRegion(QPointF v);
    /// "Reset Crop": the whole picture again, as one step.
    Q_INVOKABLE void resetCrop();
    /// "Solid" or "Pixelate": new redactions, and the selected one, take the style.
    Q_INVOKABLE void setRedactPixelate(bool on);
    QVariantList selectionHandles() const;
    QRectF selectionFrame() const;

    // The canvas input layer's left button, at area positions: the current tool's drag,
    // and a click when the press did not travel.
    void pressCanvas(QPointF v);
    /// `constrained`: Shift is held.
    void moveCanvas(QPointF v, bool constrained = false);
    void releaseCanvas(QPointF v);
    /// The press ended without a release (the pointer was taken away).
    void cancelCanvasPress();
    /// A click on the canvas at area position `v`: the keyboard leaves any text field, and
    /// the tool acts.
    void click(QPointF v);

    /// Escape in the editor window: ends text editing when a text field has the keyboard,
    /// else closes the editor without saving.
    void handleEscape(bool textFieldHasKeyboard);
    /// Whether a press at `canvasPoint` (canvas units) belongs to the text or image view of
    /// `id`: it is the topmost record drawn there and no handle of the selected shape is.
    /// Otherwise the view lets the press through to the canvas, for Select to pick what lies
    /// there, shapes under the box included.
    Q_INVOKABLE bool viewTakesPress(const QString &id, QPointF canvasPoint) const;
    /// A text or image view asks to be selected (only the select tool selects).
    Q_INVOKABLE void selectAnnotation(const QString &id);
    /// A text view's editing has ended: deselect it, and drop it later if it is blank.
    Q_INVOKABLE void deselectAnnotation(const QString &id);

    // The toolbar's actions.
    /// Takes back the newest edit of any kind; nothing when there is none.
    Q_INVOKABLE void undo();
    /// Makes the newest undone edit again; nothing when there is none.
    Q_INVOKABLE void redo();
    /// Delete or Backspace: removes the selected record; nothing when none is selected.
    Q_INVOKABLE void deleteSelected();
    /// Removes every record (one step of the history); the selection is left to name nothing.
    Q_INVOKABLE void clear();
    /// "Revert to Original": drops every annotation and the crop, as one step; the stack
    /// shows the original once the edits are saved.
    Q_INVOKABLE void revertToOriginal();
    /// Closes the editor; the edits since the capture was last saved are discarded, a
    /// draft included.
    Q_INVOKABLE void cancel();
    /// "Save Edits": the annotations become the capture's saved edits (none left: the
    /// original again), its draft goes, the stack draws the flattened picture off the UI
    /// thread, and the editor closes. When the picture could not be made (no layout, too
    /// large, a crop off it) one line is logged and everything stays as it was. After a save
    /// the editor takes no further edits.
    Q_INVOKABLE bool saveRenderedImage();
    /// The capture with every annotation, as "Save Edits" makes it; one line on failure.
    std::optional<QImage> renderedImage() const;
    /// "Copy" and Ctrl+C: puts the capture with every annotation, rendered as "Save Edits"
    /// would, on the clipboard; the editor stays open and the stack unchanged. On failure one
    /// line is logged.
    Q_INVOKABLE bool copyRenderedImage();
    /// "Copy Text": reads the text of the rendered picture (what is redacted stays unread),
    /// within the text region when there is one, and puts it on the clipboard; the editor
    /// stays open. The reading logs its own line.
    Q_INVOKABLE bool copyText();
    /// Ctrl+S: saves the rendered picture to the save folder under the name pattern; the
    /// editor stays open. The save logs its own line.
    Q_INVOKABLE bool saveRenderedImageToFile();
    /// Ctrl+Shift+S: the same, to a file the user picks in the file chooser.
    Q_INVOKABLE void saveRenderedImageAs();

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
    void finishedChanged();
    void draftRestoredChanged();
    void canRevertChanged();
    void selectionHandlesChanged();
    void showsLineWidthsChanged();
    void cropViewChanged();
    void textRegionChanged();
    /// Escape was pressed while a text field had the keyboard: the text box holding it
    /// ends its editing.
    void textEditingCancelled();
    /// The window's keyboard focus should leave whatever item holds it.
    void keyFocusReleaseRequested();

private:
    void toolChanged();
    void colorChanged();
    void lineWidthChanged();
    void captureChanged();
    void releaseKeyFocusLater();
    void insertImage(const ImageIntake::Decoded &picture, QPointF centre, const QColor &color);
    /// Takes up the draft or the saved edits, once the capture's picture is there.
    void restoreEdits();
    /// The editor is closing: unsaved edits stay as the capture's draft.
    void keepDraft();
    /// The document as the stack would keep it (blank texts left out).
    SavedEdits::Content content() const;
    /// The kept copy of a record's image that a new SavedEdits may share.
    StoredImage reusableImage(const Annotation &record) const;
    void setDraftRestored(bool restored);

    QPointer<EditorSession> m_session;
    QPointer<Preferences> m_preferences;
    AnnotationDocument m_document;
    CanvasViewport m_viewport;
    ToolSettings m_tools;
    CanvasPointer m_pointer;
    bool m_finished = false;
    bool m_cancelled = false;
    bool m_restored = false; // the edits to take up have been taken up
    bool m_draftRestored = false;
    // The edits taken up, and the cache key of each of their images as decoded: an image
    // record still holding that picture shares its kept copy.
    std::shared_ptr<const SavedEdits> m_takenUp;
    QHash<QUuid, qint64> m_takenUpImages;
    std::optional<QRectF> m_textRegion;
    QPointF m_textRegionStart;
};
