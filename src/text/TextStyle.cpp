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
        disconnect(m_editor, nullptr, this, nullptr);
        disconnect(m_editor->annotations(), nullptr, this, nullptr);
    }
    m_editor = editor;
    if (m_editor) {
        const auto changed = [this] { Q_EMIT activeStyleChanged(); };
        connect(m_editor, &EditorState::selectedAnnotationIdChanged, this, changed);
        connect(m_editor, &EditorState::textHasBackgroundChanged, this, changed);
        connect(m_editor, &EditorState::selectedFontChanged, this, changed);
        connect(m_editor, &EditorState::selectedFontSizeChanged, this, changed);
        // The selected record may change, appear (redo of a paste) or go (undo, clear).
        AnnotationListModel *records = m_editor->annotations();
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
    if (!m_editor || !m_editor->selectedAnnotationID())
        return nullptr;
    const int row = m_editor->annotations()->indexOf(*m_editor->selectedAnnotationID());
    if (row < 0)
        return nullptr;
    const Annotation &record = m_editor->annotations()->at(row);
    return record.type == DrawingTool::text ? &record : nullptr;
}

void TextStyle::updateSelectedText(const std::function<void(Annotation &)> &change)
{
    if (selectedText())
        m_editor->annotations()->update(*m_editor->selectedAnnotationID(), change);
}

bool TextStyle::activeTextHasBackground() const
{
    if (const Annotation *text = selectedText())
        return text->textHasBackground;
    return m_editor && m_editor->textHasBackground();
}

void TextStyle::setActiveTextHasBackground(bool on)
{
    if (!m_editor)
        return;
    m_editor->setTextHasBackground(on);
    updateSelectedText([on](Annotation &record) { record.textHasBackground = on; });
}

QString TextStyle::activeFontName() const
{
    if (const Annotation *text = selectedText())
        return text->fontName;
    return m_editor ? m_editor->selectedFont() : QString();
}

void TextStyle::setActiveFontName(const QString &name)
{
    if (!m_editor)
        return;
    m_editor->setSelectedFont(name);
    updateSelectedText([&name](Annotation &record) { record.fontName = name; });
}

double TextStyle::activeFontSize() const
{
    if (const Annotation *text = selectedText())
        return text->fontSize;
    return m_editor ? m_editor->selectedFontSize() : 0;
}

void TextStyle::setActiveFontSize(double size)
{
    if (!m_editor || !std::isfinite(size))
        return;
    m_editor->setSelectedFontSize(size);
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
