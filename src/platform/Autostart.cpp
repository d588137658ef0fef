#include "Autostart.h"

#include "Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

const char EntryName[] = "org.orrinvale.Orrinvale.desktop";

// The entry a fresh "Start at login" writes. The program starts in the tray, so it needs
// no arguments.
const char EntryText[] = "[Desktop Entry]\n"
                         "Type=Application\n"
                         "Name=Orrinvale\n"
                         "Comment=Capture the screen onto a stack at the screen's edge\n"
                         "Exec=orrinvale\n"
                         "Icon=org.orrinvale.Orrinvale\n"
                         "Terminal=false\n"
                         "StartupNotify=false\n"
                         "X-GNOME-Autostart-enabled=true\n";

QString defaultConfigHome()
{
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return xdg;
    return QDir::homePath() + QStringLiteral("/.config");
}

// Reads Key=value in the [Desktop Entry] group only; other groups may repeat keys.
QString entryValue(const QByteArray &text, const QByteArray &key)
{
    bool inEntry = false;
    for (const QByteArray &rawLine : text.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.startsWith('[')) {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        if (!inEntry || line.startsWith('#'))
            continue;
        const int equals = line.indexOf('=');
        if (equals > 0 && line.left(equals).trimmed() == key)
            return QString::fromUtf8(line.mid(equals + 1).trimmed());
    }
    return {};
}

} // namespace

Autostart::Autostart(QString configHome, QObject *parent)
    : QObject(parent), m_configHome(configHome.isEmpty() ? defaultConfigHome() : configHome)
{}

QString Autostart::entryPath() const
{
    return m_configHome + QStringLiteral("/autostart/") + QLatin1String(EntryName);
}

bool Autostart::isEnabled() const
{
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = file.read(64 * 1024);
    if (entryValue(text, "Hidden").compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0)
        return false;
    if (entryValue(text, "X-GNOME-Autostart-enabled")
            .compare(QStringLiteral("false"), Qt::CaseInsensitive) == 0)
        return false;
    return true;
}

Result<bool> Autostart::setEnabled(bool enabled)
{
    const bool before = isEnabled();
    if (enabled && before)
        return true; // keep an entry the user may have edited
    QString error;
    if (enabled) {
        const QString dir = QFileInfo(entryPath()).absolutePath();
        QSaveFile file(entryPath());
        if (!QDir().mkpath(dir)) {
            error = QStringLiteral("cannot create %1").arg(dir);
        } else if (!file.open(QIODevice::WriteOnly)) {
            error = file.errorString();
        } else if (file.write(EntryText) != qint64(sizeof(EntryText) - 1) || !file.commit()) {
            error = file.errorString();
            file.cancelWriting();
        }
    } else if (QFile::exists(entryPath())) {
        QFile file(entryPath());
        if (!file.remove())
            error = file.errorString();
    }

    if (!error.isEmpty()) {
        const QString message =
            QStringLiteral("Could not %1 start at login (%2): %3")
                .arg(enabled ? QStringLiteral("turn on") : QStringLiteral("turn off"), entryPath(),
                     error);
        Log::line(message);
        setLastError(message);
        return Result<bool>::failure(message);
    }
    setLastError({});
    if (isEnabled() != before)
        Q_EMIT enabledChanged();
    return enabled;
}

bool Autostart::requestEnabled(bool enabled)
{
    const bool ok = setEnabled(enabled).ok();
    if (!ok)
        Q_EMIT enabledChanged(); // the view put its check box back to the real state
    return ok;
}

void Autostart::refresh()
{
    Q_EMIT enabledChanged();
}

void Autostart::setLastError(const QString &error)
{
    if (m_lastError == error)
        return;
    m_lastError = error;
    Q_EMIT lastErrorChanged();
}
