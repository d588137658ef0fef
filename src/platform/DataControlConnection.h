#pragma once

#include <QObject>
#include <QStringList>

/**
 * A connection through which this program owns the desktop's clipboard selection directly,
 * without a window of its own having the keyboard. WaylandDataControl is the real one; tests
 * give their own. Each offer is a source with an id; the latest one holds the selection until
 * another program copies (`cancelled`). Used by WaylandDataControlClipboard.
 */
class DataControlConnection : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    /// Takes the selection with a new source that offers `types`; the source's id (never 0).
    virtual quint64 offer(const QStringList &types) = 0;
    /// Empties the selection if `source` still holds it, and forgets the source.
    virtual void withdraw(quint64 source) = 0;

Q_SIGNALS:
    /// A program asks `source` for `type`: the receiver writes it into `fd`, then closes it.
    void sendRequested(quint64 source, const QString &type, int fd);
    /// `source` no longer holds the selection: another program copied.
    void cancelled(quint64 source);
    /// The connection is gone for good; `reason` is one human-readable phrase.
    void failed(const QString &reason);
};
