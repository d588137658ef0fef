#include "SelectionFormats.h"

#include <QMimeData>

namespace {

const QString PlainText = QStringLiteral("text/plain");

// The names under which programs ask for text, UTF-8 first.
const QStringList TextNames = {QStringLiteral("text/plain;charset=utf-8"), PlainText,
                               QStringLiteral("UTF8_STRING"), QStringLiteral("STRING"),
                               QStringLiteral("TEXT")};

} // namespace

QStringList SelectionFormats::offered(const QMimeData &data)
{
    QStringList types;
    for (const QString &format : data.formats()) {
        if (format.startsWith(QLatin1String("application/x-qt-")))
            continue;
        if (format == PlainText) {
            for (const QString &name : TextNames)
                if (!types.contains(name))
                    types.append(name);
        } else if (!types.contains(format)) {
            types.append(format);
        }
    }
    return types;
}

QByteArray SelectionFormats::bytes(const QMimeData &data, const QString &type)
{
    if (TextNames.contains(type))
        return data.hasText() ? data.text().toUtf8() : QByteArray();
    if (type.startsWith(QLatin1String("application/x-qt-")) || !data.hasFormat(type))
        return {};
    return data.data(type);
}
