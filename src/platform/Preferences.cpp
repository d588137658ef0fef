#include "Preferences.h"

#include "platform/Log.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QVariant>

namespace {

struct EntryInfo
{
    const char *key;
    const char *defaultValue; // nullptr: the entry has no default and may be absent
};

// In the order of Preferences::Entry.
// clang-format off
constexpr EntryInfo entryInfo[] = {
    {"shortcutPointer", "v"},
    {"shortcutText", "t"},
    {"shortcutPen", "d"},
    {"shortcutRectangle", "r"},
    {"shortcutLine", "l"},
    {"shortcutArrow", "a"},
    {"shortcutEllipse", "e"},
    {"shortcutHighlighter", "h"},
    {"shortcutStep", "n"},
    {"shortcutRedact", "x"},
    {"shortcutCrop", "c"},
    {"permissionsResetBuild_v3", nullptr},
    {"copyEachCapture", "false"},
    {"saveEachCapture", "false"},
    {"saveFolder", nullptr}, // the Pictures folder is the system's to say
    {"namePattern", "Screenshot from %Y-%m-%d %H-%M-%S"},
    {"textLanguages", nullptr}, // "+"-separated, as Tesseract joins them
};
// clang-format on
/// Whether QSettings may open the path: nothing there yet, or a regular file. It would wait
/// for a writer forever on a named pipe (and read a device), before the program is up.
bool usable(const QString &path)
{
    const QFileInfo info(path);
    return !info.exists() || info.isFile();
}

} // namespace

Preferences::Preferences(QObject *parent) : Preferences(defaultFilePath(), parent) {}

Preferences::Preferences(const QString &filePath, QObject *parent)
    : QObject(parent), m_filePath(filePath)
{
    static_assert(std::size(entryInfo) == EntryCount);
    load();
}

QString Preferences::defaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Orrinvale/Orrinvale.conf");
}

void Preferences::load()
{
    if (!usable(m_filePath)) {
        Log::line(QStringLiteral("Could not read the preferences in %1; using the defaults.")
                      .arg(m_filePath));
        return;
    }
    QSettings settings(m_filePath, QSettings::IniFormat);
    for (int entry = 0; entry < EntryCount; ++entry) {
        const QVariant stored = settings.value(QLatin1String(entryInfo[entry].key));
        // Anything but text (a list, a number, raw bytes written by hand) counts as absent.
        if (stored.typeId() == QMetaType::QString)
            m_slots[entry].value = stored.toString();
    }

    switch (settings.status()) {
    case QSettings::NoError:
        break;
    case QSettings::AccessError:
        Log::line(QStringLiteral("Could not read the preferences in %1; using the defaults.")
                      .arg(m_filePath));
        break;
    case QSettings::FormatError:
        Log::line(QStringLiteral("The preferences in %1 are damaged; using what could be read.")
                      .arg(m_filePath));
        break;
    }
}

QString Preferences::value(Entry entry) const
{
    const Slot &slot = m_slots[entry];
    if (slot.value)
        return *slot.value;
    return QString::fromLatin1(entryInfo[entry].defaultValue);
}

void Preferences::setValue(Entry entry, const QString &value)
{
    const QString before = this->value(entry);
    m_slots[entry].value = value;
    m_slots[entry].edited = true;
    store();
    if (value != before && entry < shortcutToolCount)
        Q_EMIT shortcutChanged(ShortcutTool(entry));
    if (value != before)
        announce(entry);
}

void Preferences::announce(Entry entry)
{
    switch (entry) {
    case CopyEachCapture:
        Q_EMIT copyEachCaptureChanged();
        break;
    case SaveEachCapture:
        Q_EMIT saveEachCaptureChanged();
        break;
    case SaveFolder:
        Q_EMIT saveFolderChanged();
        break;
    case NamePattern:
        Q_EMIT namePatternChanged();
        break;
    case TextLanguages:
        Q_EMIT textLanguagesChanged();
        break;
    default:
        break;
    }
}

bool Preferences::copyEachCapture() const
{
    return value(CopyEachCapture) == QLatin1String("true");
}

void Preferences::setCopyEachCapture(bool on)
{
    setValue(CopyEachCapture, on ? QStringLiteral("true") : QStringLiteral("false"));
}

bool Preferences::saveEachCapture() const
{
    return value(SaveEachCapture) == QLatin1String("true");
}

void Preferences::setSaveEachCapture(bool on)
{
    setValue(SaveEachCapture, on ? QStringLiteral("true") : QStringLiteral("false"));
}

QString Preferences::saveFolder() const
{
    const QString stored = value(SaveFolder);
    return stored.isEmpty() ? defaultSaveFolder() : stored;
}

void Preferences::setSaveFolder(const QString &folder)
{
    setValue(SaveFolder, folder);
}

QString Preferences::defaultSaveFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::PicturesLocation) +
           QStringLiteral("/Screenshots");
}

QString Preferences::namePattern() const
{
    return value(NamePattern);
}

void Preferences::setNamePattern(const QString &pattern)
{
    setValue(NamePattern, pattern);
}

QString Preferences::shortcut(ShortcutTool tool) const
{
    if (tool < 0 || tool >= shortcutToolCount)
        return {};
    return value(Entry(tool));
}

void Preferences::setShortcut(ShortcutTool tool, const QString &value)
{
    if (tool >= 0 && tool < shortcutToolCount)
        setValue(Entry(tool), value);
}

std::optional<QString> Preferences::permissionsResetBuild() const
{
    return m_slots[PermissionsResetBuild].value;
}

void Preferences::setPermissionsResetBuild(const QString &buildId)
{
    setValue(PermissionsResetBuild, buildId);
}

void Preferences::store()
{
    // A fresh QSettings per store: its status then speaks of this write alone (a QSettings
    // keeps the first error it met for good). Every value set in this run is written again,
    // so a write that failed earlier is made good by the next one that succeeds.
    bool stored = false;
    if (usable(m_filePath)) {
        QSettings settings(m_filePath, QSettings::IniFormat);
        for (int entry = 0; entry < EntryCount; ++entry) {
            if (m_slots[entry].edited)
                settings.setValue(QLatin1String(entryInfo[entry].key), *m_slots[entry].value);
        }
        settings.sync();
        // A damaged file is reported as a FormatError but still replaced; only an
        // AccessError means nothing was written.
        stored = settings.status() != QSettings::AccessError;
    }
    if (!stored && !m_storeFailing) {
        Log::line(QStringLiteral("Could not store the preferences in %1; changes apply until "
                                 "Orrinvale quits.")
                      .arg(m_filePath));
    }
    m_storeFailing = !stored;
}

QStringList Preferences::textLanguages() const
{
    return value(TextLanguages).split(u'+', Qt::SkipEmptyParts);
}

void Preferences::setTextLanguages(const QStringList &names)
{
    setValue(TextLanguages, names.join(u'+'));
}
