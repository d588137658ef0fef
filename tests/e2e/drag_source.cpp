// Another program's window for the end-to-end tests that drags a file out the way a file
// manager does: a press on it starts a drag of the file's URL (text/uri-list). The outcome
// of each drag is written to standard output: "dragging" once the drag is under way (the
// pointer is grabbed), then "dropped copy" or "dropped none".
//
//   e2e_drag_source FILE TITLE X Y WIDTH HEIGHT

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <cstdio>

class Source : public QWidget
{
public:
    explicit Source(const QString &file) : m_file(file) {}

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter(this).fillRect(rect(), QColor(230, 230, 200));
    }

    void mousePressEvent(QMouseEvent *) override
    {
        auto *mime = new QMimeData;
        mime->setUrls({QUrl::fromLocalFile(m_file)});
        auto *drag = new QDrag(this);
        drag->setMimeData(mime);
        // Runs in the drag's own event loop, so a test moves the pointer only once the
        // drag holds it; a release that came before would leave the drag waiting.
        QTimer::singleShot(0, this, [] {
            std::printf("dragging\n");
            std::fflush(stdout);
        });
        const Qt::DropAction action = drag->exec(Qt::CopyAction);
        std::printf("dropped %s\n", action == Qt::CopyAction ? "copy" : "none");
        std::fflush(stdout);
    }

private:
    QString m_file;
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 7)
        return 2;
    Source window(args.at(1));
    window.setWindowTitle(args.at(2));
    window.setGeometry(args.at(3).toInt(), args.at(4).toInt(), args.at(5).toInt(),
                       args.at(6).toInt());
    window.show();
    return app.exec();
}
