#pragma once

#include "Result.h"

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

/**
 * The "Start at login" setting: an XDG autostart entry in
 * $XDG_CONFIG_HOME/autostart (default ~/.config/autostart). The file is the state, read
 * again whenever asked, so an entry the user edited or removed is seen as it is. The
 * settings window shows and changes it; AppDelegate owns the one instance.
 */
class Autostart : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Autostart is made by the application")
    Q_PROPERTY(bool enabled READ isEnabled NOTIFY enabledChanged)
    Q_PROPERTY(QString lastError READ lastError NOTIFY lastErrorChanged)

public:
    /// An empty configHome means $XDG_CONFIG_HOME, or ~/.config when that is unset.
    explicit Autostart(QString configHome = {}, QObject *parent = nullptr);

    QString entryPath() const;

    /// True when the entry exists and is not switched off (Hidden=true or
    /// X-GNOME-Autostart-enabled=false).
    bool isEnabled() const;

    /// Writes or removes the entry. A failure leaves the previous state, logs one line and
    /// is kept in lastError.
    Result<bool> setEnabled(bool enabled);
    Q_INVOKABLE bool requestEnabled(bool enabled);

    QString lastError() const { return m_lastError; }

    /// Re-reads the file, for when the settings window opens.
    Q_INVOKABLE void refresh();

Q_SIGNALS:
    void enabledChanged();
    void lastErrorChanged();

private:
    void setLastError(const QString &error);

    QString m_configHome;
    QString m_lastError;
};
