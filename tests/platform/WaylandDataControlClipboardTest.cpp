#include "platform/WaylandDataControlClipboard.h"
#include "fakes/FakeClipboard.h"
#include "fakes/StdoutCapture.h"
#include "platform/DataControlConnection.h"
#include "platform/PipeWriter.h"
#include "platform/SelectionFormats.h"

#include <QMimeData>
#include <QTest>

#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace {

/** The compositor's side as the clipboard sees it: what was offered, and its events. */
class FakeDataControl final : public DataControlConnection
{
public:
    quint64 offer(const QStringList &types) override
    {
        offers.append(types);
        holder = ++last;
        return holder;
    }
    void withdraw(quint64 source) override
    {
        withdrawn.append(source);
        if (source == holder)
            holder = 0;
    }

    QList<QStringList> offers;
    QList<quint64> withdrawn;
    quint64 holder = 0;
    quint64 last = 0;
};

struct Pipe
{
    int read = -1;
    int write = -1;
    Pipe()
    {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) == 0) {
            read = fds[0];
            write = fds[1];
        }
    }
    ~Pipe()
    {
        closeRead();
        closeWrite();
    }
    void closeRead()
    {
        if (read >= 0)
            ::close(std::exchange(read, -1));
    }
    void closeWrite()
    {
        if (write >= 0)
            ::close(std::exchange(write, -1));
    }
    /// Everything until the writer closes its end.
    QByteArray readAll()
    {
        QByteArray all;
        char buffer[65536];
        ssize_t n;
        while ((n = ::read(read, buffer, sizeof buffer)) > 0)
            all.append(buffer, n);
        return all;
    }
};

QMimeData *textData(const QString &text)
{
    auto *data = new QMimeData;
    data->setText(text);
    return data;
}

QMimeData *pngData(const QByteArray &png)
{
    auto *data = new QMimeData;
    data->setData(QStringLiteral("image/png"), png);
    data->setData(QStringLiteral("text/uri-list"), "file:///tmp/a.png\r\n");
    return data;
}

} // namespace

class WaylandDataControlClipboardTest : public QObject
{
    Q_OBJECT

private:
    struct Fixture
    {
        FakeDataControl *control = new FakeDataControl;
        FakeClipboard *x = new FakeClipboard;
        WaylandDataControlClipboard clipboard{std::unique_ptr<DataControlConnection>(control),
                                              std::unique_ptr<Clipboard>(x),
                                              std::chrono::milliseconds(2000)};

        /// What a program asking `source` for `type` reads.
        QByteArray paste(quint64 source, const QString &type)
        {
            Pipe pipe;
            Q_EMIT control->sendRequested(source, type, std::exchange(pipe.write, -1));
            return pipe.readAll();
        }
    };

private Q_SLOTS:
    void offersEachFormatUnderTheNamesProgramsAskFor_data()
    {
        QTest::addColumn<QStringList>("formats");
        QTest::addColumn<QStringList>("offered");
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QByteArray>("bytes");

        const QStringList textNames = {"text/plain;charset=utf-8", "text/plain", "UTF8_STRING",
                                       "STRING", "TEXT"};
        QTest::newRow("a capture")
            << QStringList{"text/uri-list", "image/png"}
            << QStringList{"text/uri-list", "image/png"} << "image/png" << QByteArray("PNG");
        QTest::newRow("text as UTF-8 under every name")
            << QStringList{"text/plain"} << textNames << "UTF8_STRING" << QString("Grüße").toUtf8();
        QTest::newRow("Qt's own types stay in the program")
            << QStringList{"application/x-qt-image", "image/png"} << QStringList{"image/png"}
            << "application/x-qt-image" << QByteArray();
        QTest::newRow("a type it does not have")
            << QStringList{"image/png"} << QStringList{"image/png"} << "image/jpeg" << QByteArray();
    }
    void offersEachFormatUnderTheNamesProgramsAskFor()
    {
        QFETCH(QStringList, formats);
        QFETCH(QStringList, offered);
        QFETCH(QString, asked);
        QFETCH(QByteArray, bytes);
        QMimeData data;
        for (const QString &format : formats)
            if (format == "text/plain")
                data.setText(QStringLiteral("Grüße"));
            else
                data.setData(format, "PNG");

        QCOMPARE(SelectionFormats::offered(data), offered);
        QCOMPARE(SelectionFormats::bytes(data, asked), bytes);
    }

    // A pipe holds 64 KiB: larger writes wait for the reader; a reader that leaves early or
    // never reads ends the write, and the process survives the closed pipe.
    void writesIntoAPipeWhateverTheReaderDoes_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("reader");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("written");

        QTest::newRow("small") << 100 << "reads" << true << 100;
        QTest::newRow("larger than the pipe")
            << 8 * 1024 * 1024 << "reads" << true << 8 * 1024 * 1024;
        QTest::newRow("reader gone") << 1024 * 1024 << "closed" << true << 0;
        QTest::newRow("reader stalls") << 1024 * 1024 << "stalls" << false << 0;
    }
    void writesIntoAPipeWhateverTheReaderDoes()
    {
        QFETCH(int, size);
        QFETCH(QString, reader);
        QFETCH(bool, ok);
        QFETCH(int, written);
        QByteArray bytes(size, '\0');
        for (int i = 0; i < size; ++i)
            bytes[i] = char(i * 7 + i / 251);
        Pipe pipe;
        QByteArray received;
        std::thread reading;
        if (reader == "reads")
            reading = std::thread([&] { received = pipe.readAll(); });
        else if (reader == "closed")
            pipe.closeRead();

        const Result<qsizetype> result =
            PipeWriter::writeAll(pipe.write, bytes, std::chrono::milliseconds(300));
        pipe.closeWrite();
        if (reading.joinable())
            reading.join();

        QCOMPARE(result.ok(), ok);
        if (ok)
            QCOMPARE(result.value(), qsizetype(written));
        else
            QVERIFY2(result.error().contains("took nothing for 0.3 seconds"),
                     qPrintable(result.error()));
        if (reader == "reads")
            QVERIFY(received == bytes);
    }

    // Each copy takes the selection with a source of its own; a program asking the newest
    // one gets its bytes, one asking a replaced one gets nothing, and the program's own
    // paste reads the copy here rather than through XWayland.
    void eachCopyTakesTheSelectionAndIsServedFromIt()
    {
        Fixture f;
        f.x->hold({{"text/plain", "from X"}});

        f.clipboard.setMimeData(pngData("first"));
        f.clipboard.setMimeData(textData("second"));

        QCOMPARE(f.control->offers.size(), 2);
        QCOMPARE(f.control->offers[0], (QStringList{"image/png", "text/uri-list"}));
        QCOMPARE(f.control->offers[1].first(), "text/plain;charset=utf-8");
        QCOMPARE(f.paste(2, "text/plain;charset=utf-8"), QByteArray("second"));
        QCOMPARE(f.paste(1, "image/png"), QByteArray());
        QCOMPARE(f.clipboard.mimeData()->text(), "second");
        QCOMPARE(f.x->mimeData()->data("text/plain"), QByteArray("from X"));
    }

    // Another program copied: the newest source is cancelled and the clipboard reads what
    // XWayland shows; a late cancel of a replaced source changes nothing.
    void letsGoWhenAnotherProgramCopies()
    {
        Fixture f;
        f.x->hold({{"text/plain", "other program"}});
        f.clipboard.setMimeData(textData("old"));
        f.clipboard.setMimeData(textData("new"));

        Q_EMIT f.control->cancelled(1);
        QCOMPARE(f.clipboard.mimeData()->text(), "new");
        QCOMPARE(f.paste(2, "TEXT"), QByteArray("new"));

        Q_EMIT f.control->cancelled(2);
        QCOMPARE(f.clipboard.mimeData()->text(), "other program");
        QCOMPARE(f.paste(2, "TEXT"), QByteArray());
    }

    // Emptied (the program quits): the source is withdrawn. A broken connection says so
    // once, and the copies after it go to the X clipboard.
    void withdrawsAndFallsBackToX()
    {
        Fixture f;
        f.clipboard.setMimeData(textData("kept"));
        f.clipboard.setMimeData(nullptr);
        QCOMPARE(f.control->withdrawn, QList<quint64>{1});
        QCOMPARE(f.control->holder, quint64(0));

        StdoutCapture output;
        f.clipboard.setMimeData(textData("lost"));
        Q_EMIT f.control->failed("the compositor withdrew the clipboard control");
        f.clipboard.setMimeData(textData("to X"));

        QCOMPARE(output.takeLines(),
                 QStringList{"Wayland clipboard lost: the compositor withdrew the clipboard "
                             "control; copies go through XWayland from now on."});
        QCOMPARE(f.control->offers.size(), 2);
        QCOMPARE(f.x->mimeData()->text(), "to X");
        QCOMPARE(f.clipboard.mimeData()->text(), "to X");
    }
};

QTEST_GUILESS_MAIN(WaylandDataControlClipboardTest)
#include "WaylandDataControlClipboardTest.moc"
