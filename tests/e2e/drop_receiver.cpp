// A plain window of another program for the end-to-end tests: it takes drops the way file
// managers and browsers do (the URL list, and PNG data when offered) and records each drop
// and each mouse press as lines appended to the file named on its command line.
//
//   e2e_drop_receiver OUTPUT TITLE X Y WIDTH HEIGHT
//
// Lines: "press X Y" per mouse press (window coordinates); per drop "drop", then "url URL"
// for each URL, "png SIZE SHA1" when image/png data came along, then "end".

#include <QApplication>
#include <QCryptographicHash>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>

class Receiver : public QWidget
{
public:
    explicit Receiver(const QString &output) : m_output(output) { setAcceptDrops(true); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter(this).fillRect(rect(), QColor(250, 250, 250));
    }

    void mousePressEvent(QMouseEvent *event) override
    {
        record(QStringLiteral("press %1 %2\n")
                   .arg(event->position().toPoint().x())
                   .arg(event->position().toPoint().y()));
    }

    void dragEnterEvent(QDragEnterEvent *event) override
    {
        if (event->mimeData()->hasUrls() || event->mimeData()->hasFormat("image/png"))
            event->acceptProposedAction();
    }

    void dragMoveEvent(QDragMoveEvent *event) override { event->acceptProposedAction(); }

    void dropEvent(QDropEvent *event) override
    {
        QString text = QStringLiteral("drop\n");
        for (const QUrl &url : event->mimeData()->urls())
            text += QStringLiteral("url %1\n").arg(QString::fromUtf8(url.toEncoded()));
        if (event->mimeData()->hasFormat("image/png")) {
            const QByteArray png = event->mimeData()->data("image/png");
            text += QStringLiteral("png %1 %2\n")
                        .arg(png.size())
                        .arg(QString::fromLatin1(
                            QCryptographicHash::hash(png, QCryptographicHash::Sha1).toHex()));
        }
        text += QStringLiteral("end\n");
        event->acceptProposedAction();
        record(text);
    }

private:
    void record(const QString &text)
    {
        QFile file(m_output);
        if (file.open(QIODevice::Append))
            file.write(text.toUtf8());
    }

    QString m_output;
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 7)
        return 2;
    Receiver window(args.at(1));
    window.setWindowTitle(args.at(2));
    window.setGeometry(args.at(3).toInt(), args.at(4).toInt(), args.at(5).toInt(),
                       args.at(6).toInt());
    window.show();
    return app.exec();
}
