// Build-time helper: renders the program's SVG icon into square PNGs for the
// hicolor icon theme, so the installed sizes always match the one source picture.
// usage: render_icon <input.svg> <output-dir> <size>...
// writes <output-dir>/<size>x<size>/org.orrinvale.Orrinvale.png for each size.

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: render_icon <input.svg> <output-dir> <size>...\n");
        return 2;
    }
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "render_icon: cannot read %s\n", argv[1]);
        return 1;
    }
    const QDir outputDir(QString::fromLocal8Bit(argv[2]));
    for (int i = 3; i < argc; ++i) {
        bool ok = false;
        const int size = QString::fromLocal8Bit(argv[i]).toInt(&ok);
        if (!ok || size <= 0 || size > 4096) {
            std::fprintf(stderr, "render_icon: bad size %s\n", argv[i]);
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            renderer.render(&painter, QRectF(0, 0, size, size));
        }
        const QString sizeDir = QStringLiteral("%1x%1").arg(size);
        if (!outputDir.mkpath(sizeDir)) {
            std::fprintf(stderr, "render_icon: cannot create %s\n", qPrintable(sizeDir));
            return 1;
        }
        const QString path =
            outputDir.filePath(sizeDir + QStringLiteral("/org.orrinvale.Orrinvale.png"));
        if (!image.save(path, "PNG")) {
            std::fprintf(stderr, "render_icon: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
