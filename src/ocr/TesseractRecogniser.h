#pragma once

#include "TextRecogniser.h"

#include <QMutex>

#include <memory>
#include <vector>

namespace tesseract {
class TessBaseAPI;
}

/**
 * TextRecogniser through Tesseract's C++ API, with its LSTM engine and the language data of
 * `dataFolder`. An engine reads one picture at a time, so calls at once each take one of
 * their own: engines are set up when first needed and kept, idle, for the next request
 * while the languages stay the same (setting one up costs about a tenth of reading a
 * screen; each holds the language data's networks and dictionaries, some 15 MB for
 * English). Made by AppDelegate, used by TextCopy's worker threads.
 */
class TesseractRecogniser final : public TextRecogniser
{
public:
    explicit TesseractRecogniser(QString dataFolder);
    ~TesseractRecogniser() override;

    Result<QList<RecognisedLine>> recognise(const QImage &picture, const QStringList &languages,
                                            int dotsPerInch) override;

    /// Engines set up and waiting (for tests and the benchmark).
    int idleEngines() const;

private:
    struct EngineDeleter
    {
        void operator()(tesseract::TessBaseAPI *engine) const;
    };
    using Engine = std::unique_ptr<tesseract::TessBaseAPI, EngineDeleter>;

    Result<Engine> take(const QStringList &languages);
    void giveBack(Engine engine, const QStringList &languages);

    QString m_dataFolder;
    mutable QMutex m_mutex;
    std::vector<Engine> m_idle;
    QStringList m_languages; // those of the idle engines
};
