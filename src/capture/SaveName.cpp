#include "SaveName.h"

#include <ctime>

namespace {

/// strftime over a pattern whose %n and %% the caller has dealt with; "" when the result
/// does not fit (a pattern of thousands of fields).
QString strftime(const QString &pattern, const QDateTime &when)
{
    if (pattern.isEmpty())
        return {};
    const time_t seconds = time_t(when.toSecsSinceEpoch());
    std::tm local{};
    ::localtime_r(&seconds, &local);
    const QByteArray format = pattern.toUtf8();
    QByteArray out(format.size() * 8 + 256, Qt::Uninitialized);
    const size_t length = std::strftime(out.data(), size_t(out.size()), format.constData(), &local);
    return QString::fromUtf8(out.constData(), qsizetype(length));
}

} // namespace

QString SaveName::expand(const QString &pattern, const QDateTime &when, int counter)
{
    // %n means the counter here, not strftime's newline; %% stays for strftime to turn into
    // one percent sign, so "%%n" is the text "%n".
    QString prepared;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (c == u'%' && i + 1 < pattern.size()) {
            const QChar next = pattern.at(i + 1);
            ++i;
            if (next == u'n')
                prepared += QString::number(counter);
            else
                prepared += QStringView(pattern).mid(i - 1, 2);
        } else if (c == u'%') {
            prepared += QStringLiteral("%%"); // a lone percent sign at the end is itself
        } else {
            prepared += c;
        }
    }
    QString name = strftime(prepared, when);
    name.replace(u'/', u'-');
    name.remove(QChar(0));
    name = name.trimmed();
    // "." and ".." are folders, not names.
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("Screenshot");
    return name;
}

bool SaveName::hasCounter(const QString &pattern)
{
    for (qsizetype i = 0; i + 1 < pattern.size(); ++i) {
        if (pattern.at(i) == u'%') {
            if (pattern.at(i + 1) == u'n')
                return true;
            ++i; // "%%" and other fields: the next character is theirs
        }
    }
    return false;
}

QString SaveName::candidate(const QString &pattern, const QDateTime &when, const QString &extension,
                            int attempt)
{
    if (hasCounter(pattern))
        return expand(pattern, when, attempt) + extension;
    const QString base = expand(pattern, when, attempt);
    if (attempt <= 1)
        return base + extension;
    return base + QStringLiteral(" (") + QString::number(attempt) + u')' + extension;
}

QString SaveName::example(const QString &pattern)
{
    return candidate(pattern, QDateTime::currentDateTime(), QStringLiteral(".png"), 1);
}
