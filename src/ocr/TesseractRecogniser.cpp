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

TesseractRecogniser::~TesseractRecogniser()
{
    if (m_engine)
        m_engine->End();
}

Result<tesseract::TessBaseAPI *> TesseractRecogniser::engineFor(const QStringList &languages)
{
    if (m_engine && m_languages == languages)
        return m_engine.get();
    if (m_engine)
        m_engine->End();
    m_engine = std::make_unique<tesseract::TessBaseAPI>();
    m_languages.clear();
    const QByteArray folder = m_dataFolder.toLocal8Bit();
    const QByteArray names = languages.join(u'+').toUtf8();
    // Its complaints (a missing file, an estimated resolution) go nowhere: every failure is
    // answered by the line TextCopy writes.
    const std::vector<std::string> quiet = {"debug_file"};
    const std::vector<std::string> nowhere = {"/dev/null"};
    if (m_engine->Init(folder.constData(), names.constData(), tesseract::OEM_LSTM_ONLY, nullptr, 0,
                       &quiet, &nowhere, false) != 0) {
        m_engine.reset();
        return Result<tesseract::TessBaseAPI *>::failure(
            QStringLiteral("Tesseract could not load the language data %1 from %2")
                .arg(languages.join(u'+'), m_dataFolder));
    }
    m_engine->SetPageSegMode(tesseract::PSM_AUTO);
    // The picture comes dark on light already: reading each doubtful line again inverted
    // would only cost time.
    m_engine->SetVariable("tessedit_do_invert", "0");
    m_languages = languages;
    return m_engine.get();
}

Result<QList<RecognisedLine>>
TesseractRecogniser::recognise(const QImage &picture, const QStringList &languages, int dotsPerInch)
{
    using Lines = Result<QList<RecognisedLine>>;
    if (picture.isNull() || picture.format() != QImage::Format_Grayscale8)
        return Lines::failure(QStringLiteral("the picture to read is not 8-bit grey"));
    QMutexLocker lock(&m_mutex);
    const auto engine = engineFor(languages);
    if (!engine.ok())
        return Lines::failure(engine.error());
    tesseract::TessBaseAPI *api = engine.value();

    api->SetImage(picture.constBits(), picture.width(), picture.height(), 1,
                  int(picture.bytesPerLine()));
    api->SetSourceResolution(dotsPerInch);
    if (api->Recognize(nullptr) != 0) {
        api->Clear();
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
            lines.append({found, QRect(QPoint(left, top), QPoint(right - 1, bottom - 1))});
        } while (line->Next(tesseract::RIL_TEXTLINE));
    }
    api->Clear();
    return lines;
}
