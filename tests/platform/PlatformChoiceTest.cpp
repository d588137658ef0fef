#include "platform/PlatformChoice.h"
#include "fakes/StdoutCapture.h"

#include <QTest>

class PlatformChoiceTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decide_data()
    {
        QTest::addColumn<QString>("requested"); // QT_QPA_PLATFORM
        QTest::addColumn<QString>("waylandDisplay");
        QTest::addColumn<QString>("sessionType");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QByteArray>("platform"); // set by the program; empty: left alone
        QTest::addColumn<QString>("warning");     // a part of the line; empty: no line

        const auto row = [](const char *name, const char *requested, const char *socket,
                            const char *type, const char *display, const char *platform,
                            const char *warning) {
            QTest::newRow(name) << QString(requested) << QString(socket) << QString(type)
                                << QString(display) << QByteArray(platform) << QString(warning);
        };
        row("X11 session", "", "", "x11", ":0", "", "");
        row("no session type", "", "", "", ":0", "", "");
        row("Wayland session", "", "wayland-0", "wayland", ":0", "xcb", "");
        row("Wayland socket only", "", "wayland-1", "", ":1", "xcb", "");
        row("Wayland session type only", "", "", "wayland", ":0", "xcb", "");
        row("blank request is no request", "  ", "wayland-0", "wayland", ":0", "xcb", "");
        row("no XWayland", "", "wayland-0", "wayland", "", "", "has no XWayland");
        row("xcb kept", "xcb", "wayland-0", "wayland", ":0", "", "");
        row("offscreen kept", "offscreen", "wayland-0", "wayland", ":0", "", "");
        row("xcb first, Wayland as fallback", "xcb;wayland", "wayland-0", "wayland", ":0", "", "");
        row("wayland kept", "wayland", "wayland-0", "wayland", ":0", "",
            "QT_QPA_PLATFORM=wayland puts");
        row("wayland first", "wayland;xcb", "wayland-0", "wayland", ":0", "",
            "QT_QPA_PLATFORM=wayland;xcb puts");
        row("wayland-egl", "wayland-egl", "wayland-0", "wayland", ":0", "",
            "QT_QPA_PLATFORM=wayland-egl puts");
        row("wayland with arguments", "wayland:nogl", "", "", "", "",
            "QT_QPA_PLATFORM=wayland:nogl puts");
    }

    void decide()
    {
        QFETCH(QString, requested);
        QFETCH(QString, waylandDisplay);
        QFETCH(QString, sessionType);
        QFETCH(QString, display);
        QFETCH(QByteArray, platform);
        QFETCH(QString, warning);

        const PlatformChoice choice =
            PlatformChoice::decide(requested, waylandDisplay, sessionType, display);

        QCOMPARE(choice.platform, platform);
        QCOMPARE(choice.warning.isEmpty(), warning.isEmpty());
        QVERIFY2(choice.warning.contains(warning), qPrintable(choice.warning));
        if (!warning.isEmpty())
            QVERIFY2(choice.warning.contains(QLatin1String("stack cannot be placed")),
                     qPrintable(choice.warning));
    }

    // The launch's own environment: the choice is made there, and said once.
    void appliedToTheEnvironment()
    {
        qputenv("WAYLAND_DISPLAY", "wayland-0");
        qputenv("DISPLAY", ":0");
        qunsetenv("QT_QPA_PLATFORM");
        StdoutCapture log;

        PlatformChoice::applyToEnvironment();
        QCOMPARE(qgetenv("QT_QPA_PLATFORM"), QByteArray("xcb"));
        QCOMPARE(log.takeLines(), QStringList());

        qputenv("QT_QPA_PLATFORM", "wayland");
        PlatformChoice::applyToEnvironment();
        QCOMPARE(qgetenv("QT_QPA_PLATFORM"), QByteArray("wayland"));
        QCOMPARE(log.takeLines().size(), 1);
    }
};

QTEST_GUILESS_MAIN(PlatformChoiceTest)
#include "PlatformChoiceTest.moc"
