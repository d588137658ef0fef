#include "capture/CaptureRequest.h"

#include <QTest>

using Kind = CaptureRequest::Kind;
using Screens = CaptureRequest::Screens;

class CaptureRequestTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // What the command line and D-Bus accept as a region, and the bad value named back.
    void parsesRegions_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRect>("region"); // null: refused
        QTest::addColumn<QString>("reason");

        QTest::newRow("plain") << "10,20,300x200" << QRect(10, 20, 300, 200) << "";
        QTest::newRow("left of the primary screen")
            << "-1920,0,640x480" << QRect(-1920, 0, 640, 480) << "";
        QTest::newRow("spaces and capital X") << " 1, 2, 3X4 " << QRect(1, 2, 3, 4) << "";
        QTest::newRow("zero width") << "0,0,0x10" << QRect() << "zero or negative size";
        QTest::newRow("negative height") << "0,0,10x-5" << QRect() << "zero or negative size";
        QTest::newRow("missing size") << "10,20" << QRect() << "is not X,Y,WxH";
        QTest::newRow("words") << "left" << QRect() << "is not X,Y,WxH";
        QTest::newRow("too many digits") << "0,0,10000000000x1" << QRect() << "is not X,Y,WxH";
        QTest::newRow("empty") << "" << QRect() << "is not X,Y,WxH";
    }

    void parsesRegions()
    {
        QFETCH(QString, text);
        QFETCH(QRect, region);
        QFETCH(QString, reason);

        const auto parsed = CaptureRequest::parseRegion(text);

        QCOMPARE(parsed.ok(), !region.isNull());
        if (parsed.ok()) {
            QCOMPARE(parsed.value(), region);
        } else {
            QVERIFY2(parsed.error().contains(reason), qPrintable(parsed.error()));
            QVERIFY2(parsed.error().contains(QLatin1Char('"') + text + QLatin1Char('"')),
                     qPrintable(parsed.error()));
        }
    }

    void parsesDelaysAndScreens_data()
    {
        QTest::addColumn<QString>("delay");
        QTest::addColumn<int>("seconds"); // -1: refused

        QTest::newRow("none") << "0" << 0;
        QTest::newRow("most") << "60" << 60;
        QTest::newRow("one too many") << "61" << -1;
        QTest::newRow("negative") << "-1" << -1;
        QTest::newRow("fraction") << "1.5" << -1;
        QTest::newRow("word") << "soon" << -1;
    }

    void parsesDelaysAndScreens()
    {
        QFETCH(QString, delay);
        QFETCH(int, seconds);

        const auto parsed = CaptureRequest::parseDelay(delay);

        QCOMPARE(parsed.ok(), seconds >= 0);
        if (parsed.ok())
            QCOMPARE(parsed.value(), seconds);
        else
            QVERIFY2(parsed.error().contains(QLatin1Char('"') + delay + QLatin1Char('"')),
                     qPrintable(parsed.error()));
        QCOMPARE(CaptureRequest::parseScreens(QStringLiteral("pointer")).value(), Screens::Pointer);
        QVERIFY(!CaptureRequest::parseScreens(QStringLiteral("Primary")).ok());
    }

    // D-Bus Delayed and the forwarded command line carry a request as its action text: each
    // kind comes back as it went.
    void actionsRoundTrip_data()
    {
        QTest::addColumn<CaptureRequest>("request");
        QTest::addColumn<QString>("action");

        QTest::newRow("primary") << CaptureRequest::ofScreens(Screens::Primary)
                                 << "take-screenshot";
        QTest::newRow("pointer") << CaptureRequest::ofScreens(Screens::Pointer) << "screen pointer";
        QTest::newRow("all") << CaptureRequest::ofScreens(Screens::All) << "screen all";
        QTest::newRow("region") << CaptureRequest::ofRegion(QRect(-5, 6, 7, 8))
                                << "region -5,6,7x8";
        QTest::newRow("select") << CaptureRequest::ofKind(Kind::SelectRegion) << "region";
        QTest::newRow("last") << CaptureRequest::ofKind(Kind::LastRegion) << "last-region";
        QTest::newRow("window") << CaptureRequest::ofKind(Kind::Window) << "window";
    }

    void actionsRoundTrip()
    {
        QFETCH(CaptureRequest, request);
        QFETCH(QString, action);

        QCOMPARE(request.action(), action);
        const auto back = CaptureRequest::fromAction(action);
        QVERIFY2(back.ok(), qPrintable(back.error()));
        QVERIFY(back.value() == request);
    }

    void unknownActionsAreNamed_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("unknown") << "everything";
        QTest::newRow("window with a value") << "window 3";
        QTest::newRow("screen without one") << "screen";
        QTest::newRow("bad region") << "region 1,2,0x4";
    }

    void unknownActionsAreNamed()
    {
        QFETCH(QString, action);

        const auto parsed = CaptureRequest::fromAction(action);

        QVERIFY(!parsed.ok());
        QVERIFY2(parsed.error().contains(action.section(QLatin1Char(' '), -1)),
                 qPrintable(parsed.error()));
    }
};

Q_DECLARE_METATYPE(CaptureRequest)

QTEST_APPLESS_MAIN(CaptureRequestTest)
#include "CaptureRequestTest.moc"
