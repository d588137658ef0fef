#include "WindowLayoutProbe.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QQuickItem>
#include <QQuickWindow>

namespace {

// Whether what `item` shows is whole in its rectangle, for the kinds that can tell: a
// control's content within its padding, a text within its width. Unset for other items.
QJsonValue contentFits(const QQuickItem *item)
{
    const QVariant available = item->property("availableWidth");
    const QVariant content = item->property("implicitContentWidth");
    if (available.isValid() && content.isValid())
        return available.toReal() + 0.5 >= content.toReal();
    if (item->inherits("QQuickText"))
        return item->property("contentWidth").toReal() <= item->width() + 0.5;
    return QJsonValue(QJsonValue::Undefined);
}

void describeItems(QQuickItem *item, const QString &path, QJsonArray &out)
{
    QString childPath = path;
    if (!item->objectName().isEmpty()) {
        childPath =
            path.isEmpty() ? item->objectName() : path + QLatin1Char('/') + item->objectName();
        const QRectF rect = item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
        QJsonObject described{{QStringLiteral("name"), item->objectName()},
                              {QStringLiteral("path"), childPath},
                              {QStringLiteral("x"), rect.x()},
                              {QStringLiteral("y"), rect.y()},
                              {QStringLiteral("width"), rect.width()},
                              {QStringLiteral("height"), rect.height()},
                              {QStringLiteral("visible"), item->isVisible()}};
        if (const QJsonValue fits = contentFits(item); !fits.isUndefined())
            described.insert(QStringLiteral("contentFits"), fits);
        out.append(described);
    }
    for (QQuickItem *child : item->childItems())
        describeItems(child, childPath, out);
}

} // namespace

QString WindowLayoutProbe::describe(const QString &title)
{
    for (QWindow *window : QGuiApplication::topLevelWindows()) {
        auto *quick = qobject_cast<QQuickWindow *>(window);
        if (!quick || !quick->isVisible() || quick->title() != title)
            continue;
        QJsonArray items;
        describeItems(quick->contentItem(), QString(), items);
        const QJsonObject description{{QStringLiteral("width"), quick->width()},
                                      {QStringLiteral("height"), quick->height()},
                                      {QStringLiteral("items"), items}};
        return QString::fromUtf8(QJsonDocument(description).toJson(QJsonDocument::Compact));
    }
    return QStringLiteral("{}");
}
