#pragma once

#include <QLocale>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

#include "platform/Preferences.h"

/**
 * The languages text is read in: those whose Tesseract language data is installed (one
 * `<name>.traineddata` file each in the data folder, from Debian's tesseract-ocr-* packages)
 * and those of them the user chose in the settings' General tab. Until a choice is made,
 * and when none of the chosen ones is installed any more, English and the language of the
 * user's locale are read, of those installed. TextCopy asks it at each request; the
 * settings view lists and toggles the languages through it.
 */
class TextLanguages : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(
        Preferences *preferences READ preferences WRITE setPreferences NOTIFY preferencesChanged)
    Q_PROPERTY(QStringList installed READ installed CONSTANT)
    Q_PROPERTY(QStringList chosen READ chosen NOTIFY chosenChanged)

public:
    /// The languages of the data folder (see dataFolder()).
    explicit TextLanguages(QObject *parent = nullptr);
    /// The languages of `folder`, read in `locale` by default (tests).
    TextLanguages(const QString &folder, const QLocale &locale, QObject *parent = nullptr);

    /// TESSDATA_PREFIX when set, else the first of Tesseract's own folders that exists.
    static QString dataFolder();
    /// The language data names in `folder`, sorted; never "osd" (it holds no language).
    static QStringList installedIn(const QString &folder);
    /// The language data name of the locale's language ("deu" for German), or "".
    static QString nameFor(const QLocale &locale);
    /// The Debian package holding a language's data: "tesseract-ocr-chi-sim" for "chi_sim".
    static QString packageFor(const QString &name);
    /// What is read when nothing of `preferred` is installed: English and the locale's
    /// language, of those installed; else the first installed.
    static QStringList defaultsAmong(const QStringList &installed, const QLocale &locale);

    Preferences *preferences() const { return m_preferences; }
    void setPreferences(Preferences *preferences);
    QString folder() const { return m_folder; }
    QStringList installed() const { return m_installed; }
    /// The languages to read in now; empty only when no language data is installed.
    QStringList chosen() const;
    /// Reads `name` too, or no longer; the last one chosen cannot be taken away.
    Q_INVOKABLE void setChosen(const QString &name, bool on);
    /// "German (deu)"; the bare name for one Qt does not know.
    Q_INVOKABLE static QString displayName(const QString &name);

Q_SIGNALS:
    void preferencesChanged();
    void chosenChanged();

private:
    QString m_folder;
    QLocale m_locale;
    QStringList m_installed;
    QPointer<Preferences> m_preferences;
};
