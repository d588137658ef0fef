#include "TextStyle.h"

#include "editor/EditorState.h"

#include <QFontDatabase>

#include <cmath>

TextStyle::TextStyle(QObject *parent) : QObject(parent) {}

void TextStyle::setEditor(EditorState *editor)
{
    if (m_editor == editor)
        return;
    if (m_editor) {
        disconnect(m_editor->document(), nullptr, this, nullptr);
        disconnect(m_editor->document()->records(), nullptr, this, nullptr);
        disconnect(m_editor->tools(), nullptr, this, nullptr);
    }
    m_editor = editor;
    if (m_editor) {
        const auto changed = [this] { Q_EMIT activeStyleChanged(); };
        connect(m_editor->document(), &AnnotationDocument::selectionChanged, this, changed);
        connect(m_editor->tools(), &ToolSettings::textStyleChanged, this, changed);
        // The selected record may change, appear (redo of a paste) or go (undo, clear).
        AnnotationListModel *records = m_editor->document()->records();
        connect(records, &QAbstractItemModel::dataChanged, this, changed);
        connect(records, &QAbstractItemModel::rowsInserted, this, changed);
        connect(records, &QAbstractItemModel::rowsRemoved, this, changed);
        connect(records, &QAbstractItemModel::modelReset, this, changed);
    }
    Q_EMIT editorChanged();
    Q_EMIT activeStyleChanged();
}

const Annotation *TextStyle::selectedText() const
{
    const Annotation *record = m_editor ? m_editor->document()->selectedRecord() : nullptr;
    return record && record->type == DrawingTool::Text ? record : nullptr;
}

void TextStyle::updateSelectedText(const std::function<void(Annotation &)> &change)
{
    if (const Annotation *text = selectedText()) {
        const QUuid id = text->id;
        m_editor->document()->update(id, change);
    }
}

bool TextStyle::activeTextHasBackground() const
{
    if (const Annotation *text = selectedText())
        return text->textHasBackground;
    return m_editor && m_editor->tools()->textHasBackground();
}

void TextStyle::setActiveTextHasBackground(bool on)
{
    if (!m_editor)
        return;
    m_editor->tools()->setTextHasBackground(on);
    updateSelectedText([on](Annotation &record) { record.textHasBackground = on; });
}

QString TextStyle::activeFontName() const
{
    if (const Annotation *text = selectedText())
        return text->fontName;
    return m_editor ? m_editor->tools()->fontName() : QString();
}

void TextStyle::setActiveFontName(const QString &name)
{
    if (!m_editor)
        return;
    m_editor->tools()->setFontName(name);
    updateSelectedText([&name](Annotation &record) { record.fontName = name; });
}

double TextStyle::activeFontSize() const
{
    if (const Annotation *text = selectedText())
        return text->fontSize;
    return m_editor ? m_editor->tools()->fontSize() : 0;
}

void TextStyle::setActiveFontSize(double size)
{
    if (!m_editor || !std::isfinite(size))
        return;
    m_editor->tools()->setFontSize(size);
    updateSelectedText([size](Annotation &record) { record.fontSize = size; });
}

QStringList TextStyle::fontFamilies() const
{
    if (!m_familiesRead) {
        m_families = QFontDatabase::families();
        m_familiesRead = true;
    }
    return m_families;
}

QString TextStyle::sizeLabel(double size)
{
    const double whole = std::trunc(size);
    return QStringLiteral("%1 pt").arg(std::isfinite(whole) ? whole : 0.0, 0, 'f', 0);
}
