#pragma once

#include "TextRecogniser.h"

#include <QMutex>

#include <memory>

namespace tesseract {
class TessBaseAPI;
}

/**
 * TextRecogniser through Tesseract's C++ API, with its LSTM engine and the language data of
 * `dataFolder`. The engine is set up on the first call and kept while the languages stay
 * the same (setting it up costs more than reading a screen). Made by AppDelegate, used by
 * TextCopy's worker thread.
 */
class TesseractRecogniser final : public TextRecogniser
{
public:
    explicit TesseractRecogniser(QString dataFolder);
    ~TesseractRecogniser() override;

    Result<QList<RecognisedLine>> recognise(const QImage &picture, const QStringList &languages,
                                            int dotsPerInch) override;

private:
    Result<tesseract::TessBaseAPI *> engineFor(const QStringList &languages);

    QString m_dataFolder;
    QMutex m_mutex;
    std::unique_ptr<tesseract::TessBaseAPI> m_engine;
    QStringList m_languages;
};
