#pragma once

#include <QPointer>
#include <QQuickItem>
#include <QtQml/qqmlregistration.h>

class EditorState;

/**
 * A layer of the editor's canvas area that works for one editor: the input layer, the drop
 * area and the drawing layer. A new editor is announced to the layer (`editorReplaced`)
 * before `editorChanged` goes out.
 */
class EditorCanvasItem : public QQuickItem
{
    Q_OBJECT
    QML_ANONYMOUS
    Q_MOC_INCLUDE("editor/EditorState.h")
    Q_PROPERTY(EditorState *editor READ editor WRITE setEditor NOTIFY editorChanged)

public:
    explicit EditorCanvasItem(QQuickItem *parent = nullptr) : QQuickItem(parent) {}

    EditorState *editor() const { return m_editor; }
    void setEditor(EditorState *editor)
    {
        if (m_editor == editor)
            return;
        EditorState *old = m_editor;
        m_editor = editor;
        editorReplaced(old);
        Q_EMIT editorChanged();
    }

Q_SIGNALS:
    void editorChanged();

protected:
    /// The layer now works for `editor()`; `old` (which may be null) is the one before.
    virtual void editorReplaced(EditorState *old) { Q_UNUSED(old) }

private:
    QPointer<EditorState> m_editor;
};
