#pragma once

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QQuickItem>
#include <QtQml/qqmlregistration.h>

/**
 * The narrowest a RowLayout can be with every visible child at or above its own minimum
 * width, kept up to date as the children change (a larger system font, a control shown or
 * hidden). Qt Quick Layouts work this out but do not say it; the toolbar passes it on to the
 * editor window as its minimum width, so that a row that grew widens the window instead of
 * losing its last buttons past the edge. Used by EditorToolbar.qml.
 */
class RowMinimumWidth : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QQuickItem *row READ row WRITE setRow NOTIFY rowChanged)
    Q_PROPERTY(qreal width READ width NOTIFY widthChanged)

public:
    explicit RowMinimumWidth(QObject *parent = nullptr);

    QQuickItem *row() const { return m_row; }
    void setRow(QQuickItem *row);
    qreal width() const { return m_width; }

    /// The minimum width of `item` as the row layout it sits in sees it, by the rules of Qt
    /// Quick Layouts: a nested layout's own minimum; an item that fills the width, its
    /// Layout.minimumWidth (0 unless set); any other item is held at its preferred width
    /// (Layout.preferredWidth, else its implicit width). Layout margins are added. A
    /// RowLayout itself: its visible children's minima and the spacing between them; a
    /// ColumnLayout, the widest of them.
    static qreal minimumOf(const QQuickItem *item);

Q_SIGNALS:
    void rowChanged();
    void widthChanged();

private Q_SLOTS:
    void scheduleUpdate();

private:
    void watch();
    void watchItem(QQuickItem *item);
    void update();

    QPointer<QQuickItem> m_row;
    QList<QMetaObject::Connection> m_connections;
    qreal m_width = 0;
    bool m_updatePending = false;
};
