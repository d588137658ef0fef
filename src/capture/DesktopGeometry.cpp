#include "DesktopGeometry.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

DesktopGeometry::DesktopGeometry(QList<DesktopScreen> screens)
{
    // A screen that holds another one whole is the output the others were cut from (RandR
    // monitors made with xrandr --setmonitor leave the output's own one in place): its parts
    // are the screens. Equal ones are mirrors, of which the first stays.
    for (qsizetype i = 0; i < screens.size(); ++i) {
        bool umbrella = false;
        for (qsizetype j = 0; j < screens.size() && !umbrella; ++j) {
            const QRect &mine = screens[i].geometry;
            const QRect &other = screens[j].geometry;
            umbrella = j != i && mine.contains(other) && (mine != other || j < i);
        }
        if (!umbrella)
            m_screens.append(screens[i]);
    }
}

DesktopGeometry DesktopGeometry::fromApplication()
{
    QList<DesktopScreen> screens;
    QScreen *primary = QGuiApplication::primaryScreen();
    for (QScreen *screen : QGuiApplication::screens()) {
        DesktopScreen entry{screen->name(), screen->geometry(), screen->devicePixelRatio()};
        if (screen == primary)
            screens.prepend(entry);
        else
            screens.append(entry);
    }
    return DesktopGeometry(screens);
}

QRect DesktopGeometry::bounds() const
{
    QRect box;
    for (const DesktopScreen &screen : m_screens)
        box |= screen.geometry;
    return box;
}

int DesktopGeometry::screenAt(QPoint point) const
{
    int nearest = -1;
    qint64 nearestDistance = 0;
    for (int i = 0; i < m_screens.size(); ++i) {
        const QRect &g = m_screens[i].geometry;
        if (g.contains(point))
            return i;
        const qint64 dx = qMax(qMax(g.left() - point.x(), point.x() - g.right()), 0);
        const qint64 dy = qMax(qMax(g.top() - point.y(), point.y() - g.bottom()), 0);
        const qint64 distance = dx * dx + dy * dy;
        if (nearest < 0 || distance < nearestDistance) {
            nearest = i;
            nearestDistance = distance;
        }
    }
    return nearest;
}

bool DesktopGeometry::touchesScreens(const QRect &logical) const
{
    if (logical.isEmpty())
        return false;
    for (const DesktopScreen &screen : m_screens) {
        if (screen.geometry.intersects(logical))
            return true;
    }
    return false;
}

QRect DesktopGeometry::toDevice(int screen, const QRect &logical) const
{
    const DesktopScreen &s = m_screens[screen];
    const QPoint origin = s.geometry.topLeft();
    // Edges, not sizes, are mapped: neighbouring parts meet without a gap or an overlap.
    const auto map = [&](int value, int from) {
        return from + int(std::lround((value - from) * s.ratio));
    };
    const int left = map(logical.left(), origin.x());
    const int top = map(logical.top(), origin.y());
    const int right = map(logical.left() + logical.width(), origin.x());
    const int bottom = map(logical.top() + logical.height(), origin.y());
    return QRect(left, top, right - left, bottom - top);
}

QRect DesktopGeometry::fromDevice(const QRect &device) const
{
    int best = -1;
    qint64 bestArea = 0;
    for (int i = 0; i < m_screens.size(); ++i) {
        const QRect common = nativeGeometry(i) & device;
        const qint64 area = qint64(common.width()) * common.height();
        if (!common.isEmpty() && area > bestArea) {
            best = i;
            bestArea = area;
        }
    }
    if (best < 0)
        return QRect();
    const DesktopScreen &s = m_screens[best];
    const QPoint origin = s.geometry.topLeft();
    const auto map = [&](int value, int from) {
        return from + int(std::lround((value - from) / s.ratio));
    };
    const int left = map(device.left(), origin.x());
    const int top = map(device.top(), origin.y());
    const int right = map(device.left() + device.width(), origin.x());
    const int bottom = map(device.top() + device.height(), origin.y());
    return QRect(left, top, qMax(1, right - left), qMax(1, bottom - top));
}

QList<DesktopGeometry::Piece> DesktopGeometry::pieces(const QRect &logical) const
{
    QList<Piece> result;
    for (int i = 0; i < m_screens.size(); ++i) {
        const QRect part = m_screens[i].geometry & logical;
        if (part.isEmpty())
            continue;
        const QRect device = toDevice(i, part);
        if (!device.isEmpty())
            result.append(Piece{i, part, device});
    }
    return result;
}
