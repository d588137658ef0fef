// Copy Text figures: a 1920x1080 picture of interface text (DejaVu Sans and Liberation
// Sans, 9 to 14 points, dark on light on the left half and light on dark on the right) is
// read with the program's own preparation, bands and Tesseract; the character error rate
// against the text drawn is printed per font, size and polarity, and the time from the
// request to the text on the clipboard, for the first request (the engines load their
// language data) and the ones after it (ORRINVALE_BENCH_RUNS of them, 5 unless set). The
// baseline beside each figure reads the whole picture enlarged in one piece on one engine.
// Beside the clock time: the processor time of the request (all its threads) and the load
// average, since a busy machine stretches the clock time and not the work.

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
#include <QFile>
#include <QFontDatabase>
#include <QHash>
#include <QMimeData>
#include <QMutex>
#include <QPainter>
#include <QRegularExpression>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <time.h>
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

/// The processor time of all this program's threads, in milliseconds: on a busy machine the
/// time on the clock says more about the others than about the work done here.
double processorMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

/// The load average of the last minute, as the kernel reports it.
QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).section(u' ', 0, 0)
                                          : QStringLiteral("unknown");
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

/// Reads through another recogniser and adds up, per thread, the processor time spent in it:
/// the longest of those plus the work outside them is what the request takes on free cores.
class TimedRecogniser final : public TextRecogniser
{
public:
    explicit TimedRecogniser(TextRecogniser &inner) : m_inner(inner) {}

    Result<QList<RecognisedLine>> recognise(const QImage &picture, const QStringList &languages,
                                            int dotsPerInch) override
    {
        timespec start{}, end{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
        auto lines = m_inner.recognise(picture, languages, dotsPerInch);
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
        const double ms =
            double(end.tv_sec - start.tv_sec) * 1e3 + double(end.tv_nsec - start.tv_nsec) / 1e6;
        QMutexLocker lock(&m_mutex);
        m_perThread[QThread::currentThread()] += ms;
        return lines;
    }

    /// The processor time of each thread that read, and forgets them.
    QList<double> takeTimes()
    {
        QMutexLocker lock(&m_mutex);
        const QList<double> times = m_perThread.values();
        m_perThread.clear();
        return times;
    }

private:
    TextRecogniser &m_inner;
    QMutex m_mutex;
    QHash<QThread *, double> m_perThread;
};

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

    // The old path, kept here as the baseline: the whole picture enlarged and read in one
    // piece on one engine. Lines in the picture's pixels.
    const int scale = TextImagePreparation::scaleFor(picture.size(), 1.0);
    const auto readWhole = [&](TesseractRecogniser &engine) -> Result<QList<RecognisedLine>> {
        const auto lines =
            engine.recognise(TextImagePreparation::prepare(picture, scale), english, 96 * scale);
        if (!lines.ok())
            return lines;
        QList<RecognisedLine> placed;
        for (const RecognisedLine &line : lines.value())
            placed.append({line.text, QRect(line.box.topLeft() / scale, line.box.size() / scale)});
        return placed;
    };
    const int engines = TextCopy::engineCount();

    // The character error rates: the recognised lines are given to the band they lie in.
    TesseractRecogniser recogniser(folder);
    const auto whole = readWhole(recogniser);
    const auto banded = TextCopy::readLines(recogniser, picture, english, engines);
    if (!whole.ok() || !banded.ok()) {
        std::printf("recognition failed: %s\n",
                    qPrintable(whole.ok() ? banded.error() : whole.error()));
        return 1;
    }
    std::printf("%-16s %5s %-14s %6s %8s %8s\n", "font", "size", "polarity", "chars", "CER",
                "baseline");
    qint64 errors[2] = {0, 0}, allChars = 0;
    for (const Band &band : bands) {
        int bandErrors[2] = {0, 0};
        QString got[2];
        for (int path = 0; path < 2; ++path) {
            QList<RecognisedLine> inBand;
            for (const RecognisedLine &line : (path == 0 ? banded : whole).value()) {
                if (band.area.contains(line.box.center()))
                    inBand.append(line);
            }
            got[path] = simplified(ReadingOrder::join(inBand));
            bandErrors[path] = distance(got[path], band.text);
            errors[path] += bandErrors[path];
        }
        allChars += band.text.size();
        std::printf("%-16s %3d pt %-14s %6lld %7.2f%% %7.2f%%\n", qPrintable(band.family),
                    band.points, band.lightOnDark ? "light on dark" : "dark on light",
                    static_cast<long long>(band.text.size()),
                    100.0 * bandErrors[0] / band.text.size(),
                    100.0 * bandErrors[1] / band.text.size());
        if (bandErrors[0] > band.text.size() / 50 &&
            qEnvironmentVariableIsSet("ORRINVALE_BENCH_VERBOSE"))
            std::printf("  read: %s\n  drew: %s\n", qPrintable(got[0]), qPrintable(band.text));
    }
    std::printf("%-37s %6lld %7.2f%% %7.2f%%\n", "all", static_cast<long long>(allChars),
                100.0 * errors[0] / allChars, 100.0 * errors[1] / allChars);

    // From the request to the text on the clipboard, through the program's own TextCopy,
    // with engines of its own (so the first request sets them up), in turns with the
    // baseline on an engine already set up. The machine may be busy: median and spread.
    SystemClipboard clipboard;
    TextLanguages languages(folder, QLocale(QLocale::English));
    auto fresh = std::make_shared<TesseractRecogniser>(folder);
    TextCopy copy(nullptr, &clipboard, fresh, &languages);
    const int runs = qEnvironmentVariableIsSet("ORRINVALE_BENCH_RUNS")
                         ? std::max(2, qEnvironmentVariableIntValue("ORRINVALE_BENCH_RUNS")) + 1
                         : 6;
    std::vector<double> bandedTimes, wholeTimes, bandedWork, wholeWork;
    std::printf("load average before: %s on %d cores\n", qPrintable(loadAverage()),
                QThread::idealThreadCount());
    for (int run = 0; run < runs; ++run) {
        QEventLoop loop;
        QElapsedTimer timer;
        double work = processorMs();
        timer.start();
        bool copied = false;
        copy.copyTextOfImage(picture, &loop, [&](const Result<QString> &text) {
            copied = text.ok() && !text.value().isEmpty() &&
                     QGuiApplication::clipboard()->text() == text.value();
            loop.quit();
        });
        loop.exec();
        const double bandedMs = timer.nsecsElapsed() / 1e6;
        if (run > 0)
            bandedWork.push_back(processorMs() - work);
        if (run == 0)
            std::printf("request to clipboard, first (%d engines set up) %8.1f ms%s\n", engines,
                        bandedMs, copied ? "" : "  (nothing copied)");
        else
            bandedTimes.push_back(bandedMs);

        work = processorMs();
        timer.start();
        const auto lines = readWhole(recogniser);
        auto *data = new QMimeData;
        data->setText(lines.ok() ? ReadingOrder::join(lines.value()) : QString());
        clipboard.setMimeData(data);
        wholeTimes.push_back(timer.nsecsElapsed() / 1e6);
        wholeWork.push_back(processorMs() - work);
        if (run > 0)
            std::printf("request to clipboard, again %8.1f ms   baseline %8.1f ms\n", bandedMs,
                        wholeTimes.back());
    }
    const auto summary = [](std::vector<double> times) {
        std::sort(times.begin(), times.end());
        return QStringLiteral("median %1 ms, %2 to %3 ms")
            .arg(times[times.size() / 2], 0, 'f', 0)
            .arg(times.front(), 0, 'f', 0)
            .arg(times.back(), 0, 'f', 0);
    };
    std::printf("bands on %d engines: %s\n", engines, qPrintable(summary(bandedTimes)));
    std::printf("baseline, whole on one: %s\n", qPrintable(summary(wholeTimes)));
    std::printf("processor time, bands on %d engines: %s\n", engines,
                qPrintable(summary(bandedWork)));
    std::printf("processor time, baseline: %s\n", qPrintable(summary(wholeWork)));
    std::printf("load average after: %s\n", qPrintable(loadAverage()));
    std::printf("engines kept idle: %d\n", fresh->idleEngines());

    // On free cores: the work outside the engines plus the longest engine's share.
    TimedRecogniser timed(*fresh);
    std::vector<double> freeCores;
    for (int run = 1; run < runs; ++run) {
        const double work = processorMs();
        const auto lines = TextCopy::readLines(timed, picture, english, engines);
        const double total = processorMs() - work;
        const QList<double> threads = timed.takeTimes();
        double reading = 0, longest = 0;
        for (const double ms : threads) {
            reading += ms;
            longest = std::max(longest, ms);
        }
        if (lines.ok())
            freeCores.push_back(total - reading + longest);
    }
    if (!freeCores.empty())
        std::printf("on %d free cores (processor time outside the engines + the longest "
                    "engine's): %s\n",
                    engines, qPrintable(summary(freeCores)));
    return 0;
}
