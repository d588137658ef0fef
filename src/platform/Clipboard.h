#pragma once

class QMimeData;

/**
 * The desktop's clipboard as the editor's paste reads it and a copy fills it.
 * SystemClipboard is the real one; tests give their own.
 */
class Clipboard
{
public:
    virtual ~Clipboard() = default;

    /// What the clipboard holds now, or null. Valid until the clipboard next changes: read
    /// what is needed at once, on the UI thread.
    virtual const QMimeData *mimeData() const = 0;
    /// Offers `data` to every program, in place of what the clipboard held; the clipboard
    /// owns it from then on, until something else is copied. Null empties the clipboard.
    virtual void setMimeData(QMimeData *data) = 0;
};
