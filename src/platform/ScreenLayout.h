#pragma once

#include <QMutex>
#include <QObject>
#include <QRect>
#include <QString>

/** Where the screens are, in the desktop's logical coordinates. */
struct ScreenLayout
{
    QString primaryName;
    QRect primary;          // the primary screen
    qreal primaryRatio = 1; // its device pixel ratio
    QRect desktop;          // all screens together
};

/**
 * A copy of the screen layout that worker threads may read at any time; kept current on the
 * UI thread as screens come, go and change. Capture backends that cannot ask the display
 * server themselves (the portal one) read it.
 */
class ScreenLayoutSnapshot : public QObject
{
    Q_OBJECT

public:
    explicit ScreenLayoutSnapshot(QObject *parent = nullptr);

    ScreenLayout current() const;

private:
    void refresh();
    void watch(class QScreen *screen);

    mutable QMutex m_mutex;
    ScreenLayout m_layout;
};
