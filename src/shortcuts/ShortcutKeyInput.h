#pragma once

#include <QObject>
#include <QQmlEngine>
#include <QString>

/**
 * The behaviour of one shortcut field of the settings pane, owned by ShortcutRow: whatever
 * is typed or pasted, the field keeps one key, the last character entered, in lower case.
 * `key` follows the stored value; `edit` takes the field's new text and offers the key to
 * store through `keyEdited`.
 */
class ShortcutKeyInput : public QObject
{
    Q_OBJECT
    QML_ELEMENT

    Q_PROPERTY(QString key READ key WRITE setKey NOTIFY keyChanged)

public:
    using QObject::QObject;

    /// The key kept from `text`: its last user-perceived character, lower-cased; "" for "".
    static QString normalized(const QString &text);

    QString key() const { return m_key; }
    void setKey(const QString &key);

    /// The user changed the field's text to `text`.
    Q_INVOKABLE void edit(const QString &text);

Q_SIGNALS:
    void keyChanged();
    void keyEdited(const QString &key);

private:
    QString m_key;
};
