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

        QTest::newRow("X server") << "xcb"
                                  << ""
                                  << "x11" << DisplaySession::X11;
        QTest::newRow("X server, no session type") << "xcb"
                                                   << ""
                                                   << "" << DisplaySession::X11;
        QTest::newRow("XWayland, socket known") << "xcb"
                                                << "wayland-0"
                                                << "" << DisplaySession::Wayland;
        QTest::newRow("XWayland, session type only") << "xcb"
                                                     << ""
                                                     << "wayland" << DisplaySession::Wayland;
        QTest::newRow("native Wayland") << "wayland"
                                        << "wayland-0"
                                        << "wayland" << DisplaySession::Wayland;
        QTest::newRow("offscreen") << "offscreen"
                                   << ""
                                   << "" << DisplaySession::None;
        QTest::newRow("offscreen in a Wayland session") << "offscreen"
                                                        << "wayland-0"
                                                        << "wayland" << DisplaySession::None;
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
