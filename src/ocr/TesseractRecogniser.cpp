#include "TesseractRecogniser.h"

#include <QImage>
#include <QMutexLocker>

#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <memory>

namespace {

struct TextDeleter
{
    void operator()(char *text) const { delete[] text; }
};

} // namespace

TesseractRecogniser::TesseractRecogniser(QString dataFolder) : m_dataFolder(std::move(dataFolder))
{}

TesseractRecogniser::~TesseractRecogniser() = default;

void TesseractRecogniser::EngineDeleter::operator()(tesseract::TessBaseAPI *engine) const
{
    engine->End();
    delete engine;
}

int TesseractRecogniser::idleEngines() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_idle.size());
}

Result<TesseractRecogniser::Engine> TesseractRecogniser::take(const QStringList &languages)
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_languages != languages) {
            m_idle.clear();
            m_languages = languages;
        }
        if (!m_idle.empty()) {
            Engine engine = std::move(m_idle.back());
            m_idle.pop_back();
            return engine;
        }
    }
    // Set up outside the lock: another thread's engine may be set up at the same time.
    Engine engine(new tesseract::TessBaseAPI);
    const QByteArray folder = m_dataFolder.toLocal8Bit();
    const QByteArray names = languages.join(u'+').toUtf8();
    // Its complaints (a missing file, an estimated resolution) go nowhere: every failure is
    // answered by the line TextCopy writes.
    const std::vector<std::string> quiet = {"debug_file"};
    const std::vector<std::string> nowhere = {"/dev/null"};
    if (engine->Init(folder.constData(), names.constData(), tesseract::OEM_LSTM_ONLY, nullptr, 0,
                     &quiet, &nowhere, false) != 0) {
        return Result<Engine>::failure(
            QStringLiteral("Tesseract could not load the language data %1 from %2")
                .arg(languages.join(u'+'), m_dataFolder));
    }
    engine->SetPageSegMode(tesseract::PSM_AUTO);
    // The picture comes dark on light already: reading each doubtful line again inverted
    // would only cost time.
    engine->SetVariable("tessedit_do_invert", "0");
    return engine;
}

void TesseractRecogniser::giveBack(Engine engine, const QStringList &languages)
{
    engine->Clear();
    QMutexLocker lock(&m_mutex);
    if (languages == m_languages)
        m_idle.push_back(std::move(engine));
}

Result<QList<RecognisedLine>>
TesseractRecogniser::recognise(const QImage &picture, const QStringList &languages, int dotsPerInch)
{
    using Lines = Result<QList<RecognisedLine>>;
    if (picture.isNull() || picture.format() != QImage::Format_Grayscale8)
        return Lines::failure(QStringLiteral("the picture to read is not 8-bit grey"));
    Result<Engine> taken = take(languages);
    if (!taken.ok())
        return Lines::failure(taken.error());
    Engine engine = std::move(taken.value());
    tesseract::TessBaseAPI *api = engine.get();

    api->SetImage(picture.constBits(), picture.width(), picture.height(), 1,
                  int(picture.bytesPerLine()));
    api->SetSourceResolution(dotsPerInch);
    if (api->Recognize(nullptr) != 0) {
        giveBack(std::move(engine), languages);
        return Lines::failure(QStringLiteral("Tesseract could not read the picture"));
    }
    QList<RecognisedLine> lines;
    const std::unique_ptr<tesseract::ResultIterator> line(api->GetIterator());
    if (line && !line->Empty(tesseract::RIL_TEXTLINE)) {
        do {
            const std::unique_ptr<char, TextDeleter> text(
                line->GetUTF8Text(tesseract::RIL_TEXTLINE));
            const QString found = QString::fromUtf8(text.get()).trimmed();
            int left = 0, top = 0, right = 0, bottom = 0;
            if (found.isEmpty() ||
                !line->BoundingBox(tesseract::RIL_TEXTLINE, &left, &top, &right, &bottom))
                continue;
            lines.append({found, QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)),
                          int(line->Confidence(tesseract::RIL_TEXTLINE))});
        } while (line->Next(tesseract::RIL_TEXTLINE));
    }
    giveBack(std::move(engine), languages);
    return lines;
}
