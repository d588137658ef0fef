#pragma once

#include <QEvent>
#include <QObject>
#include <QWindow>

/**
 * Turns a window's close into a hide, so the same native window comes back next time
 * (the settings window is made once and reused for the whole run).
 */
class HideOnClose : public QObject
{
    Q_OBJECT

public:
    explicit HideOnClose(QWindow *window) : QObject(window), m_window(window)
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Close) {
            m_window->hide();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QWindow *m_window;
};
