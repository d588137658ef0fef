#pragma once

#include <QObject>
#include <QQmlEngine>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

/**
 * The user's preferences: the tool shortcut keys (one keyed accessor, one signal) and the build
 * marker of the permission bootstrap, kept in an INI file (by default
 * ~/.config/Orrinvale/Orrinvale.conf).
 *
 * The file is read once, at construction; after that this object is the truth for the run.
 * A missing key reads as its default and is never written back; only a setter writes, and it
 * writes at once. Every view bound to a property of the one instance (owned by AppDelegate)
 * sees a change as soon as it is made. When the file cannot be written, the new values still
 * hold for the run and one line says they could not be stored.
 */
class Preferences : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Owned by AppDelegate")
    Q_PROPERTY(bool copyEachCapture READ copyEachCapture WRITE setCopyEachCapture NOTIFY
                   copyEachCaptureChanged)
    Q_PROPERTY(bool saveEachCapture READ saveEachCapture WRITE setSaveEachCapture NOTIFY
                   saveEachCaptureChanged)
    Q_PROPERTY(QString saveFolder READ saveFolder WRITE setSaveFolder NOTIFY saveFolderChanged)
    Q_PROPERTY(QString namePattern READ namePattern WRITE setNamePattern NOTIFY namePatternChanged)
    Q_PROPERTY(QStringList textLanguages READ textLanguages WRITE setTextLanguages NOTIFY
                   textLanguagesChanged)

public:
    /// The tools a single key selects in the editor, in the order their keys are tried.
    enum ShortcutTool {
        Pointer,
        Text,
        Pen,
        Rectangle,
        Line,
        Arrow,
        Ellipse,
        Highlighter,
        Step,
        Redact,
        Crop
    };
    Q_ENUM(ShortcutTool)
    static constexpr int shortcutToolCount = 11;

    /// The per-user file: $XDG_CONFIG_HOME/Orrinvale/Orrinvale.conf.
    explicit Preferences(QObject *parent = nullptr);
    /// Reads and writes `filePath` instead (tests use a temporary file).
    explicit Preferences(const QString &filePath, QObject *parent = nullptr);

    static QString defaultFilePath();
    QString filePath() const { return m_filePath; }

    /// The key that selects `tool`: one character, or "" when it has none.
    Q_INVOKABLE QString shortcut(Preferences::ShortcutTool tool) const;
    Q_INVOKABLE void setShortcut(Preferences::ShortcutTool tool, const QString &value);

    /// The build identifier of the last launch that reset the permissions; none before that.
    std::optional<QString> permissionsResetBuild() const;
    void setPermissionsResetBuild(const QString &buildId);

    /// Whether each new capture goes to the clipboard as it lands on the stack; off by default.
    bool copyEachCapture() const;
    void setCopyEachCapture(bool on);
    /// Whether each new capture is saved to the save folder as it lands; off by default.
    bool saveEachCapture() const;
    void setSaveEachCapture(bool on);
    /// Where "Save" writes: by default the user's Pictures folder's "Screenshots".
    QString saveFolder() const;
    void setSaveFolder(const QString &folder);
    static QString defaultSaveFolder();
    /// The saved files' names, without the extension: strftime fields and %n (see SaveName).
    QString namePattern() const;
    void setNamePattern(const QString &pattern);
    /// The language data names Copy Text reads in; empty until the user chooses (then
    /// TextLanguages picks).
    QStringList textLanguages() const;
    void setTextLanguages(const QStringList &names);

Q_SIGNALS:
    void shortcutChanged(Preferences::ShortcutTool tool);
    void copyEachCaptureChanged();
    void saveEachCaptureChanged();
    void saveFolderChanged();
    void namePatternChanged();
    void textLanguagesChanged();

private:
    // The tool shortcuts first, in ShortcutTool's order.
    enum Entry {
        PermissionsResetBuild = shortcutToolCount,
        CopyEachCapture,
        SaveEachCapture,
        SaveFolder,
        NamePattern,
        TextLanguages,
        EntryCount
    };

    struct Slot
    {
        std::optional<QString> value; // absent: not in the file, not set in this run
        bool edited = false;          // set in this run, so every store writes it
    };

    void load();
    QString value(Entry entry) const;
    void setValue(Entry entry, const QString &value);
    void announce(Entry entry);
    void store();

    QString m_filePath;
    std::array<Slot, EntryCount> m_slots;
    bool m_storeFailing = false;
};
