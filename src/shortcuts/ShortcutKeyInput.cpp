#include "ShortcutKeyInput.h"

#include <QTextBoundaryFinder>

QString ShortcutKeyInput::normalized(const QString &text)
{
    // Grapheme clusters, so an accent typed after its letter, a flag or a family emoji
    // each stay whole.
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.toEnd();
    const qsizetype start = finder.toPreviousBoundary();
    return text.mid(start < 0 ? 0 : start).toLower();
}

void ShortcutKeyInput::setKey(const QString &key)
{
    if (key == m_key)
        return;
    m_key = key;
    Q_EMIT keyChanged();
}

void ShortcutKeyInput::edit(const QString &text)
{
    m_key = normalized(text);
    // Always announced: when the kept key equals the old one ("v" typed after "v"), the
    // field must still drop the extra character.
    Q_EMIT keyChanged();
    Q_EMIT keyEdited(m_key);
}
