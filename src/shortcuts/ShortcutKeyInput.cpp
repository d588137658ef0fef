#include "ShortcutKeyInput.h"

#include <QTextBoundaryFinder>

namespace {

// Grapheme clusters, so an accent typed after its letter, a flag or a family emoji each
// stay whole.
QString lastCharacter(const QString &text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.toEnd();
    const qsizetype start = finder.toPreviousBoundary();
    return text.mid(start < 0 ? 0 : start);
}

} // namespace

QString ShortcutKeyInput::normalized(const QString &text)
{
    QString key = lastCharacter(text).toLower();
    // Qt splits some scripts (Indic ones) by the script of the run a character sits in, so a
    // cluster cut from its text may split again alone: cut until the key stays whole, or the
    // field would change a kept key the next time it is edited.
    for (QString last = lastCharacter(key); last.size() < key.size(); last = lastCharacter(key))
        key = last;
    return key;
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
