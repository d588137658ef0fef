#pragma once

#include <QByteArray>
#include <QStringList>

class QMimeData;

/**
 * The types a clipboard owner offers other programs for a QMimeData, and the bytes of each.
 * Plain text goes out under the names programs ask for (UTF-8 in each); Qt's private types
 * (application/x-qt-...) stay inside the program. Used by WaylandDataControlClipboard.
 */
class SelectionFormats
{
public:
    /// What `data` is offered as, in order of preference.
    static QStringList offered(const QMimeData &data);
    /// The bytes of `data` as `type`; empty when it has none (or making them failed).
    /// Safe on any thread while nothing changes `data`.
    static QByteArray bytes(const QMimeData &data, const QString &type);
};
