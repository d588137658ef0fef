#pragma once

class QMimeData;

/**
 * The desktop's clipboard as the editor's paste reads it. SystemClipboard is the real one;
 * tests give their own.
 */
class Clipboard
{
public:
    virtual ~Clipboard() = default;

    /// What the clipboard holds now, or null. Valid until the clipboard next changes: read
    /// what is needed at once, on the UI thread.
    virtual const QMimeData *mimeData() const = 0;
};
