#include "WindowLayoutProbe.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QQuickItem>
#include <QQuickWindow>

namespace {

void describeItems(QQuickItem *item, const QString &path, QJsonArray &out)
{
    QString childPath = path;
    if (!item->objectName().isEmpty()) {
        childPath =
            path.isEmpty() ? item->objectName() : path + QLatin1Char('/') + item->objectName();
        const QRectF rect = item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
        out.append(QJsonObject{{QStringLiteral("name"), item->objectName()},
                               {QStringLiteral("path"), childPath},
                               {QStringLiteral("x"), rect.x()},
                               {QStringLiteral("y"), rect.y()},
                               {QStringLiteral("width"), rect.width()},
                               {QStringLiteral("height"), rect.height()},
                               {QStringLiteral("visible"), item->isVisible()}});
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
