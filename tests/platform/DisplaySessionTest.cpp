#include "platform/DisplaySession.h"

#include <QTest>

Q_DECLARE_METATYPE(DisplaySession)

class DisplaySessionTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void classify_data()
    {
        QTest::addColumn<QString>("platform");
        QTest::addColumn<QString>("waylandDisplay");
        QTest::addColumn<QString>("sessionType");
        QTest::addColumn<DisplaySession>("session");

        const auto row = [](const char *name, const char *platform, const char *socket,
                            const char *type, DisplaySession session) {
            QTest::newRow(name) << QString(platform) << QString(socket) << QString(type) << session;
        };
        row("X server", "xcb", "", "x11", DisplaySession::X11);
        row("X server, no session type", "xcb", "", "", DisplaySession::X11);
        row("XWayland, socket known", "xcb", "wayland-0", "", DisplaySession::Wayland);
        row("XWayland, session type only", "xcb", "", "wayland", DisplaySession::Wayland);
        row("native Wayland", "wayland", "wayland-0", "wayland", DisplaySession::Wayland);
        row("offscreen in a Wayland session", "offscreen", "wayland-0", "wayland",
            DisplaySession::None);
    }

    void classify()
    {
        QFETCH(QString, platform);
        QFETCH(QString, waylandDisplay);
        QFETCH(QString, sessionType);
        QFETCH(DisplaySession, session);

        QCOMPARE(classifyDisplaySession(platform, waylandDisplay, sessionType), session);
    }
};

QTEST_GUILESS_MAIN(DisplaySessionTest)
#include "DisplaySessionTest.moc"
