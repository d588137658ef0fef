#pragma once

#include <QObject>
#include <QQmlEngine>
#include <QString>

#include <array>
#include <optional>

/**
 * The user's preferences: the six tool shortcut keys and the build marker of the permission
 * bootstrap, kept in an INI file (by default ~/.config/Orrinvale/Orrinvale.conf).
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

    Q_PROPERTY(QString shortcutPointer READ shortcutPointer WRITE setShortcutPointer NOTIFY
                   shortcutPointerChanged)
    Q_PROPERTY(
        QString shortcutText READ shortcutText WRITE setShortcutText NOTIFY shortcutTextChanged)
    Q_PROPERTY(QString shortcutPen READ shortcutPen WRITE setShortcutPen NOTIFY shortcutPenChanged)
    Q_PROPERTY(QString shortcutRectangle READ shortcutRectangle WRITE setShortcutRectangle NOTIFY
                   shortcutRectangleChanged)
    Q_PROPERTY(
        QString shortcutLine READ shortcutLine WRITE setShortcutLine NOTIFY shortcutLineChanged)
    Q_PROPERTY(
        QString shortcutArrow READ shortcutArrow WRITE setShortcutArrow NOTIFY shortcutArrowChanged)

public:
    /// The per-user file: $XDG_CONFIG_HOME/Orrinvale/Orrinvale.conf.
    explicit Preferences(QObject *parent = nullptr);
    /// Reads and writes `filePath` instead (tests use a temporary file).
    explicit Preferences(const QString &filePath, QObject *parent = nullptr);

    static QString defaultFilePath();
    QString filePath() const { return m_filePath; }

    QString shortcutPointer() const { return value(ShortcutPointer); }
    QString shortcutText() const { return value(ShortcutText); }
    QString shortcutPen() const { return value(ShortcutPen); }
    QString shortcutRectangle() const { return value(ShortcutRectangle); }
    QString shortcutLine() const { return value(ShortcutLine); }
    QString shortcutArrow() const { return value(ShortcutArrow); }

    void setShortcutPointer(const QString &value) { setValue(ShortcutPointer, value); }
    void setShortcutText(const QString &value) { setValue(ShortcutText, value); }
    void setShortcutPen(const QString &value) { setValue(ShortcutPen, value); }
    void setShortcutRectangle(const QString &value) { setValue(ShortcutRectangle, value); }
    void setShortcutLine(const QString &value) { setValue(ShortcutLine, value); }
    void setShortcutArrow(const QString &value) { setValue(ShortcutArrow, value); }

    /// The build identifier of the last launch that reset the permissions; none before that.
    std::optional<QString> permissionsResetBuild() const;
    void setPermissionsResetBuild(const QString &buildId);

Q_SIGNALS:
    void shortcutPointerChanged();
    void shortcutTextChanged();
    void shortcutPenChanged();
    void shortcutRectangleChanged();
    void shortcutLineChanged();
    void shortcutArrowChanged();

private:
    enum Entry {
        ShortcutPointer,
        ShortcutText,
        ShortcutPen,
        ShortcutRectangle,
        ShortcutLine,
        ShortcutArrow,
        PermissionsResetBuild,
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
    void store();
    void notify(Entry entry);

    QString m_filePath;
    std::array<Slot, EntryCount> m_slots;
    bool m_storeFailing = false;
};
