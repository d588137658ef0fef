#pragma once

#include "editor/RecordViewController.h"
#include "editor/document/Annotation.h"

#include <QColor>
#include <QFont>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QSizeF>
#include <QString>
#include <QtQml/qqmlregistration.h>

#include <functional>
#include <memory>
#include <optional>

class Clock;
class EditorState;

/**
 * The state and gestures of one text box on the canvas: where it is while dragged, its
 * scale while the handle is dragged, taps and double taps, editing mode and the keyboard
 * focus it asks for, and the write-back of position, scale and text into its record (by id).
 * A move or scale whose grab is taken away, or that another tool interrupts, is undone: the
 * box goes back to what its record holds. TextAnnotationView.qml owns one per text record and
 * forwards its input here; the tests drive it without a window, with a hand-driven clock.
 */
class TextBoxController : public RecordViewController
{
    Q_OBJECT
    QML_ELEMENT
    // The record's fields, as the editor's list model gives them.
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)
    Q_PROPERTY(QString fontName READ fontName WRITE setFontName NOTIFY fontChanged)
    Q_PROPERTY(double fontSize READ fontSize WRITE setFontSize NOTIFY fontChanged)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged)
    Q_PROPERTY(bool textHasBackground READ textHasBackground WRITE setTextHasBackground NOTIFY
                   colorChanged)
    // What the editor says about the box now.
    Q_PROPERTY(bool isSelected READ isSelected WRITE setSelected NOTIFY isSelectedChanged)
    Q_PROPERTY(double zoomScale READ zoomScale WRITE setZoomScale NOTIFY zoomScaleChanged)
    // The box's own state.
    Q_PROPERTY(bool isEditing READ isEditing WRITE setEditing NOTIFY isEditingChanged)
    Q_PROPERTY(bool isTextFieldFocused READ isTextFieldFocused WRITE setTextFieldFocused NOTIFY
                   isTextFieldFocusedChanged)
    // What the view shows: the text's colour, its font at the box's scale, the placeholder's
    // bold one, and the size of the text field.
    Q_PROPERTY(QColor resolvedTextColor READ resolvedTextColor NOTIFY colorChanged)
    Q_PROPERTY(QFont font READ font NOTIFY fontChanged)
    Q_PROPERTY(QFont placeholderFont READ placeholderFont NOTIFY fontChanged)
    Q_PROPERTY(QSizeF idealSize READ idealSize NOTIFY idealSizeChanged)

public:
    /// Two taps closer than this make a double tap.
    static constexpr qint64 doubleTapMs = 400;
    /// A press and release that moved this far (window points) or more is a move.
    static constexpr double tapSlop = 5;
    /// How long a new box waits before it takes the keyboard: it must be in a window first.
    static constexpr int focusDelayMs = 100;
    static constexpr double minimumScale = 0.2;
    /// Canvas points of handle travel that add 1 to the scale.
    static constexpr double pointsPerScale = 50;
    /// Space between the text and the box's edge, canvas points at any scale.
    static constexpr double inset = 8;

    explicit TextBoxController(QObject *parent = nullptr);
    ~TextBoxController() override;

    /// For tests: the clock the deferred steps run on and the time taps are read from (ms).
    void setClock(Clock *clock, std::function<qint64()> now);

    QString text() const { return m_text; }
    void setText(const QString &text);
    QString fontName() const { return m_fontName; }
    void setFontName(const QString &name);
    double fontSize() const { return m_fontSize; }
    void setFontSize(double size);
    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    bool textHasBackground() const { return m_textHasBackground; }
    void setTextHasBackground(bool on);
    bool isSelected() const { return m_isSelected; }
    void setSelected(bool selected);
    double zoomScale() const { return m_zoomScale; }
    void setZoomScale(double zoom);

    bool isEditing() const { return m_isEditing; }
    void setEditing(bool editing);
    bool isTextFieldFocused() const { return m_isTextFieldFocused; }
    void setTextFieldFocused(bool focused);

    QColor resolvedTextColor() const;
    QFont font() const;
    QFont placeholderFont() const;
    QSizeF idealSize() const;

    /// The view is shown: position and scale come from the record with `annotationId`. A
    /// box whose text is present and empty (just placed) starts editing and asks for the
    /// keyboard shortly after.
    Q_INVOKABLE void appear();
    void appear(const Annotation &record);
    /// The box drag, `translation` in window points since the press; the first call starts
    /// a move. The release of a move that was cancelled meanwhile does nothing.
    Q_INVOKABLE void moveChanged(QPointF translation);
    Q_INVOKABLE void moveEnded(QPointF translation);
    /// The box drag was taken away before its release: the box goes back to where its
    /// record has it, and it was no tap.
    Q_INVOKABLE void moveCancelled();
    /// The handle drag, `translation` in window points since the press; the first call
    /// starts a scale. The release of a scale that was cancelled meanwhile does nothing.
    Q_INVOKABLE void scaleChanged(QPointF translation);
    Q_INVOKABLE void scaleEnded(QPointF translation);
    /// The handle drag was taken away before its release: the box keeps its record's scale.
    Q_INVOKABLE void scaleCancelled();
    /// Escape in the box's text field: editing ends and the field lets go of the keyboard.
    Q_INVOKABLE void cancelEditing();
    /// The user changed the text in the field.
    Q_INVOKABLE void textEdited(const QString &text);

Q_SIGNALS:
    void textChanged();
    void fontChanged();
    void colorChanged();
    void isSelectedChanged();
    void zoomScaleChanged();
    void isEditingChanged();
    void isTextFieldFocusedChanged();
    void idealSizeChanged();
    /// The text field should take the keyboard now.
    void focusRequested();
    /// The text field should let go of the keyboard (if it has it).
    void focusReleaseRequested();

private:
    void watchTools();
    void editorToolChanged();
    void releaseFocusLater();
    void updateIdealSize();
    qint64 now() const;

    std::unique_ptr<Clock> m_ownClock;
    Clock *m_clock = nullptr;
    std::function<qint64()> m_now;

    QString m_text;
    QString m_fontName = TextDefaults::fontName();
    double m_fontSize = TextDefaults::fontSize;
    QColor m_color = Qt::black;
    bool m_textHasBackground = false;
    bool m_isSelected = false;
    double m_zoomScale = 1;

    QMetaObject::Connection m_toolConnection;
    bool m_hasPoint = false;
    bool m_isEditing = false;
    bool m_isTextFieldFocused = false;
    std::optional<qint64> m_lastTapTime; // none: no tap yet
    QSizeF m_idealSize;
};
