// Copy Text figures: a 1920x1080 picture of interface text (DejaVu Sans and Liberation
// Sans, 9 to 14 points, dark on light on the left half and light on dark on the right) is
// read with the program's own preparation and Tesseract; the character error rate against
// the text drawn is printed per font, size and polarity, and the time from the request to
// the text on the clipboard, for the first request (the engine loads its language data)
// and the ones after it.

#include "ocr/ReadingOrder.h"
#include "ocr/RecognitionThreads.h"
#include "ocr/TesseractRecogniser.h"
#include "ocr/TextCopy.h"
#include "ocr/TextImagePreparation.h"
#include "ocr/TextLanguages.h"
#include "platform/SystemClipboard.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFontDatabase>
#include <QPainter>
#include <QRegularExpression>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const QStringList sentences = {
    QStringLiteral("Open the Settings window and choose a folder for your screenshots."),
    QStringLiteral("Download 3 files (24.5 MB) from https://example.org/files before 10:45."),
    QStringLiteral("Your password must contain at least 12 characters, one digit and a symbol."),
    QStringLiteral("Error 404: the page you requested could not be found on this server."),
    QStringLiteral("Show hidden files, sort by date modified, group folders before files."),
    QStringLiteral("Battery 87% remaining; about 4 hours 20 minutes until it is empty."),
    QStringLiteral("Invite people to edit: anyone with the link can view this document."),
    QStringLiteral("The update was installed. Restart now or schedule it for tonight?"),
    QStringLiteral("Search results for \"quarterly report\": 17 items in 5 folders."),
    QStringLiteral("Network: Connected to HomeWiFi, signal strong, IPv4 192.168.1.42"),
    QStringLiteral("Cancel the subscription before June 30 to avoid the yearly charge."),
    QStringLiteral("Keyboard shortcuts: Ctrl+C copies, Ctrl+V pastes, Ctrl+Z undoes."),
};

struct Band
{
    QString family;
    int points;
    bool lightOnDark;
    QRect area;
    QString text;
};

int distance(const QString &a, const QString &b)
{
    std::vector<int> previous(size_t(b.size()) + 1), current(size_t(b.size()) + 1);
    for (qsizetype j = 0; j <= b.size(); ++j)
        previous[size_t(j)] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        current[0] = int(i);
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const int change = previous[size_t(j - 1)] + (a[i - 1] == b[j - 1] ? 0 : 1);
            current[size_t(j)] =
                std::min({previous[size_t(j)] + 1, current[size_t(j - 1)] + 1, change});
        }
        std::swap(previous, current);
    }
    return previous[size_t(b.size())];
}

QString simplified(QString text)
{
    return text.replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" ")).trimmed();
}

QImage drawBands(std::vector<Band> &bands)
{
    QImage picture(1920, 1080, QImage::Format_RGB32);
    // 96 dots to the inch: a point is 4/3 of a pixel, as on a screen at scale 1.
    picture.setDotsPerMeterX(3780);
    picture.setDotsPerMeterY(3780);
    picture.fill(QColor(246, 246, 246));
    QPainter painter(&picture);
    painter.fillRect(QRect(960, 0, 960, 1080), QColor(36, 36, 40));
    const QStringList families = {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")};
    int row = 0;
    for (const QString &family : families) {
        for (int points = 9; points <= 14; ++points, ++row) {
            for (const bool light : {false, true}) {
                QFont font(family);
                font.setPointSize(points);
                painter.setFont(font);
                painter.setPen(light ? QColor(230, 230, 230) : QColor(30, 30, 30));
                const QRect area(light ? 980 : 20, 30 + row * 85, 920, 80);
                // Two lines, the second from the other end of the list.
                const QString text = sentences.at((row + (light ? 5 : 0)) % sentences.size()) +
                                     u'\n' +
                                     sentences.at((row + (light ? 9 : 3)) % sentences.size());
                painter.drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
                bands.push_back({family, points, light, area, simplified(text)});
            }
        }
    }
    return picture;
}

} // namespace

int main(int argc, char **argv)
{
    // As the program does; ORRINVALE_BENCH_OMP=asis measures Tesseract's own choice.
    if (qgetenv("ORRINVALE_BENCH_OMP") != "asis")
        RecognitionThreads::limitAndRestart(argv);
    QApplication app(argc, argv);
    std::printf("OpenMP thread limit: %s\n",
                qEnvironmentVariableIsSet("OMP_THREAD_LIMIT")
                    ? qPrintable(qEnvironmentVariable("OMP_THREAD_LIMIT"))
                    : "none (Tesseract's choice)");
    std::vector<Band> bands;
    const QImage picture = drawBands(bands);
    if (!qEnvironmentVariableIsEmpty("ORRINVALE_BENCH_PICTURE"))
        picture.save(qEnvironmentVariable("ORRINVALE_BENCH_PICTURE"));

    const QString folder = TextLanguages::dataFolder();
    if (!TextLanguages::installedIn(folder).contains(QStringLiteral("eng"))) {
        std::printf("no English language data in %s: install tesseract-ocr-eng\n",
                    qPrintable(folder));
        return 1;
    }
    const QStringList english = {QStringLiteral("eng")};

    // The character error rates: the recognised lines are given to the band they lie in.
    TesseractRecogniser recogniser(folder);
    const int scale = TextImagePreparation::scaleFor(picture.size(), 1.0);
    const auto lines =
        recogniser.recognise(TextImagePreparation::prepare(picture, scale), english, 96 * scale);
    if (!lines.ok()) {
        std::printf("recognition failed: %s\n", qPrintable(lines.error()));
        return 1;
    }
    std::printf("%-16s %5s %-14s %6s %6s\n", "font", "size", "polarity", "chars", "CER");
    qint64 allErrors = 0, allChars = 0;
    for (const Band &band : bands) {
        QList<RecognisedLine> inBand;
        for (const RecognisedLine &line : lines.value()) {
            const QRect box(line.box.topLeft() / scale, line.box.size() / scale);
            if (band.area.contains(box.center()))
                inBand.append(line);
        }
        const QString got = simplified(ReadingOrder::join(inBand));
        const int errors = distance(got, band.text);
        allErrors += errors;
        allChars += band.text.size();
        std::printf("%-16s %3d pt %-14s %6lld %5.2f%%\n", qPrintable(band.family), band.points,
                    band.lightOnDark ? "light on dark" : "dark on light",
                    static_cast<long long>(band.text.size()), 100.0 * errors / band.text.size());
        if (errors > band.text.size() / 50 && qEnvironmentVariableIsSet("ORRINVALE_BENCH_VERBOSE"))
            std::printf("  read: %s\n  drew: %s\n", qPrintable(got), qPrintable(band.text));
    }
    std::printf("%-37s %6lld %5.2f%%\n", "all", static_cast<long long>(allChars),
                100.0 * allErrors / allChars);

    // From the request to the text on the clipboard, through the program's own TextCopy,
    // with an engine of its own (so the first request loads the language data).
    SystemClipboard clipboard;
    TextLanguages languages(folder, QLocale(QLocale::English));
    TextCopy copy(nullptr, &clipboard, std::make_shared<TesseractRecogniser>(folder), &languages);
    for (int run = 0; run < 4; ++run) {
        QEventLoop loop;
        QElapsedTimer timer;
        timer.start();
        bool copied = false;
        copy.copyTextOfImage(picture, &loop, [&](const Result<QString> &text) {
            copied = text.ok() && !text.value().isEmpty() &&
                     QGuiApplication::clipboard()->text() == text.value();
            loop.quit();
        });
        loop.exec();
        std::printf("%-46s %8.1f ms%s\n",
                    run == 0 ? "request to clipboard, first (engine loads)"
                             : "request to clipboard, again",
                    timer.nsecsElapsed() / 1e6, copied ? "" : "  (nothing copied)");
    }
    return 0;
}
