#include "ScreenLayout.h"

#include <QGuiApplication>
#include <QScreen>

ScreenLayoutSnapshot::ScreenLayoutSnapshot(QObject *parent) : QObject(parent)
{
    for (QScreen *screen : QGuiApplication::screens())
        watch(screen);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen *screen) {
        watch(screen);
        refresh();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &ScreenLayoutSnapshot::refresh,
            Qt::QueuedConnection);
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, &ScreenLayoutSnapshot::refresh);
    refresh();
}

ScreenLayout ScreenLayoutSnapshot::current() const
{
    QMutexLocker lock(&m_mutex);
    return m_layout;
}

void ScreenLayoutSnapshot::watch(QScreen *screen)
{
    connect(screen, &QScreen::geometryChanged, this, &ScreenLayoutSnapshot::refresh);
    connect(screen, &QScreen::physicalDotsPerInchChanged, this, &ScreenLayoutSnapshot::refresh);
}

void ScreenLayoutSnapshot::refresh()
{
    ScreenLayout layout;
    if (QScreen *primary = QGuiApplication::primaryScreen()) {
        layout.primaryName = primary->name();
        layout.primary = primary->geometry();
        layout.primaryRatio = primary->devicePixelRatio();
        for (QScreen *screen : QGuiApplication::screens())
            layout.desktop |= screen->geometry();
    }
    QMutexLocker lock(&m_mutex);
    m_layout = layout;
}
