#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

/**
 * The names saved captures get from the user's pattern: strftime fields for the time of the
 * save (%Y, %m, %d, %H, %M, %S, %A, %B, ...), %n for a counter, %% for a percent sign. The
 * counter is the lowest number that gives a name not yet in the folder; a pattern without
 * one gets " (2)", " (3)", ... before the extension when its name is taken. Used by
 * CaptureSaver, and by the settings for the pattern's live example.
 */
class SaveName : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    using QObject::QObject;

    /// `pattern` filled in for `when` (local time) and `counter`. A '/' becomes '-' (the
    /// name stays in its folder); a pattern that gives nothing gives "Screenshot".
    static QString expand(const QString &pattern, const QDateTime &when, int counter);
    static bool hasCounter(const QString &pattern);
    /// The file name that save attempt `attempt` (1, 2, ...) tries, `extension` with its dot.
    static QString candidate(const QString &pattern, const QDateTime &when,
                             const QString &extension, int attempt);

    /// What a save now would be called, for the settings: the first attempt, as PNG.
    Q_INVOKABLE static QString example(const QString &pattern);
};
