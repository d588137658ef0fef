#include "TextGesture.h"

#include "ToolSettings.h"
#include "editor/document/AnnotationDocument.h"
#include "editor/viewport/CanvasViewport.h"

void TextGesture::click(QPointF position)
{
    AnnotationDocument &document = m_context.document;
    // A selection that names a record no longer in the list (undone, cleared) selects
    // nothing, so it must not swallow the click.
    if (document.selectedRecord()) {
        ToolGesture::click(position);
        return;
    }
    const ToolSettings &settings = m_context.settings;
    // The text's first line sits where the pointer was, past the box's inset.
    const QPointF topLeft = m_context.viewport.viewToCanvas(position) - QPointF(8, 22);
    const Annotation text =
        Annotation::createText(topLeft, settings.color(), settings.textHasBackground(),
                               settings.fontName(), settings.fontSize());
    document.add(text);
    document.select(text.id);
}
