#include "TextLanguages.h"

#include "platform/Preferences.h"

#include <QDir>
#include <QFileInfo>

namespace {

/// Tesseract names a few languages other than by their ISO 639-2 code.
QString dataNameOf(const QString &code, QLocale::Script script)
{
    if (code == QLatin1String("zho"))
        return script == QLocale::TraditionalChineseScript ? QStringLiteral("chi_tra")
                                                           : QStringLiteral("chi_sim");
    return code;
}

} // namespace

TextLanguages::TextLanguages(QObject *parent) : TextLanguages(dataFolder(), QLocale(), parent) {}

TextLanguages::TextLanguages(const QString &folder, const QLocale &locale, QObject *parent)
    : QObject(parent), m_folder(folder), m_locale(locale), m_installed(installedIn(folder))
{}

QString TextLanguages::dataFolder()
{
    const QString given = qEnvironmentVariable("TESSDATA_PREFIX");
    if (!given.isEmpty())
        return given;
    for (const char *folder : {"/usr/share/tesseract-ocr/5/tessdata",
                               "/usr/share/tesseract-ocr/4.00/tessdata", "/usr/share/tessdata"}) {
        if (QFileInfo(QString::fromLatin1(folder)).isDir())
            return QString::fromLatin1(folder);
    }
    return QStringLiteral("/usr/share/tesseract-ocr/5/tessdata");
}

QStringList TextLanguages::installedIn(const QString &folder)
{
    QStringList names;
    const QFileInfoList files = QDir(folder).entryInfoList(
        {QStringLiteral("*.traineddata")}, QDir::Files | QDir::Readable, QDir::Name);
    for (const QFileInfo &file : files) {
        const QString name = file.completeBaseName();
        if (name != QLatin1String("osd") && !name.isEmpty())
            names.append(name);
    }
    return names;
}

QString TextLanguages::nameFor(const QLocale &locale)
{
    if (locale.language() == QLocale::C || locale.language() == QLocale::AnyLanguage)
        return {};
    const QString code = QLocale::languageToCode(locale.language(), QLocale::ISO639Part2T);
    return code.isEmpty() ? QString() : dataNameOf(code, locale.script());
}

QString TextLanguages::packageFor(const QString &name)
{
    return QStringLiteral("tesseract-ocr-") + name.toLower().replace(u'_', u'-');
}

QStringList TextLanguages::defaultsAmong(const QStringList &installed, const QLocale &locale)
{
    QStringList defaults;
    for (const QString &name : {QStringLiteral("eng"), nameFor(locale)}) {
        if (installed.contains(name) && !defaults.contains(name))
            defaults.append(name);
    }
    if (defaults.isEmpty() && !installed.isEmpty())
        defaults.append(installed.first());
    return defaults;
}

void TextLanguages::setPreferences(Preferences *preferences)
{
    if (m_preferences == preferences)
        return;
    if (m_preferences)
        disconnect(m_preferences, nullptr, this, nullptr);
    m_preferences = preferences;
    if (m_preferences)
        connect(m_preferences, &Preferences::textLanguagesChanged, this,
                &TextLanguages::chosenChanged);
    Q_EMIT preferencesChanged();
    Q_EMIT chosenChanged();
}

QStringList TextLanguages::chosen() const
{
    QStringList chosen;
    if (m_preferences) {
        for (const QString &name : m_preferences->textLanguages()) {
            if (m_installed.contains(name) && !chosen.contains(name))
                chosen.append(name);
        }
    }
    return chosen.isEmpty() ? defaultsAmong(m_installed, m_locale) : chosen;
}

void TextLanguages::setChosen(const QString &name, bool on)
{
    if (!m_preferences || !m_installed.contains(name))
        return;
    QStringList chosen = this->chosen();
    if (on && !chosen.contains(name))
        chosen.append(name);
    if (!on && chosen.size() > 1)
        chosen.removeAll(name);
    m_preferences->setTextLanguages(chosen);
}

QString TextLanguages::displayName(const QString &name)
{
    const QString code = name.section(u'_', 0, 0);
    const QLocale::Language language = QLocale::codeToLanguage(code);
    if (language == QLocale::AnyLanguage)
        return name;
    return QStringLiteral("%1 (%2)").arg(QLocale::languageToString(language), name);
}
