#include "RowMinimumWidth.h"

#include <QMetaMethod>

#include <algorithm>
#include <limits>

namespace {

// The Layout.* properties of an item: an object Qt parents to the item the first time one
// of them is set or read; without it every property has its default.
const QObject *layoutAttached(const QQuickItem *item)
{
    for (const QObject *child : item->children()) {
        if (child->inherits("QQuickLayoutAttached"))
            return child;
    }
    return nullptr;
}

qreal attachedReal(const QObject *attached, const char *name, qreal fallback)
{
    if (!attached)
        return fallback;
    bool ok = false;
    const qreal value = attached->property(name).toReal(&ok);
    return ok ? value : fallback;
}

bool isLaidOut(const QQuickItem *item)
{
    // What a layout skips: hidden items, and the Repeaters that make its children.
    return item->isVisible() && !item->inherits("QQuickRepeater");
}

} // namespace

RowMinimumWidth::RowMinimumWidth(QObject *parent) : QObject(parent) {}

void RowMinimumWidth::setRow(QQuickItem *row)
{
    if (row == m_row)
        return;
    m_row = row;
    Q_EMIT rowChanged();
    update();
}

qreal RowMinimumWidth::minimumOf(const QQuickItem *item)
{
    if (!item)
        return 0;
    const QObject *attached = layoutAttached(item);
    const qreal margins =
        attachedReal(attached, "leftMargin", 0) + attachedReal(attached, "rightMargin", 0);
    const qreal explicitMinimum = attachedReal(attached, "minimumWidth", 0);

    const bool row = item->inherits("QQuickRowLayout");
    if (row || item->inherits("QQuickColumnLayout")) {
        qreal own = 0;
        int laidOut = 0;
        for (const QQuickItem *child : item->childItems()) {
            if (!isLaidOut(child))
                continue;
            const qreal minimum = minimumOf(child);
            own = row ? own + minimum : std::max(own, minimum);
            ++laidOut;
        }
        if (row && laidOut > 1)
            own += (laidOut - 1) * item->property("spacing").toReal();
        return std::max(own, explicitMinimum) + margins;
    }

    const bool fills = attached && attached->property("fillWidth").toBool();
    if (fills)
        return explicitMinimum + margins;
    // Held at its preferred width, within its own bounds.
    const qreal preferred = attachedReal(attached, "preferredWidth", -1);
    const qreal maximum =
        attachedReal(attached, "maximumWidth", std::numeric_limits<qreal>::infinity());
    const qreal width = preferred >= 0 ? preferred : item->implicitWidth();
    return std::max(std::min(width, maximum), explicitMinimum) + margins;
}

void RowMinimumWidth::watch()
{
    for (const QMetaObject::Connection &connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    if (m_row)
        watchItem(m_row);
}

void RowMinimumWidth::watchItem(QQuickItem *item)
{
    const auto changed = [this] { scheduleUpdate(); };
    const QMetaMethod slot = metaObject()->method(metaObject()->indexOfMethod("scheduleUpdate()"));
    m_connections << connect(item, &QQuickItem::visibleChanged, this, changed)
                  << connect(item, &QQuickItem::implicitWidthChanged, this, changed)
                  << connect(item, &QQuickItem::childrenChanged, this, changed);
    // Any of its Layout.* properties.
    if (const QObject *attached = layoutAttached(item)) {
        const QMetaObject *meta = attached->metaObject();
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
            if (meta->method(i).methodType() == QMetaMethod::Signal)
                m_connections << connect(attached, meta->method(i), this, slot);
        }
    }
    const bool layout = item->inherits("QQuickRowLayout") || item->inherits("QQuickColumnLayout");
    if (!layout)
        return;
    const int spacing = item->metaObject()->indexOfSignal("spacingChanged()");
    if (spacing >= 0) {
        m_connections << connect(item, item->metaObject()->method(spacing), this, slot);
    }
    for (QQuickItem *child : item->childItems())
        watchItem(child);
}

void RowMinimumWidth::scheduleUpdate()
{
    if (m_updatePending)
        return;
    m_updatePending = true;
    QMetaObject::invokeMethod(this, &RowMinimumWidth::update, Qt::QueuedConnection);
}

void RowMinimumWidth::update()
{
    m_updatePending = false;
    // The children may have changed: follow the ones there are now.
    watch();
    const qreal width = minimumOf(m_row);
    if (qFuzzyCompare(width + 1, m_width + 1))
        return;
    m_width = width;
    Q_EMIT widthChanged();
}
