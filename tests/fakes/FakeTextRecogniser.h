#pragma once

#include "ocr/TextRecogniser.h"

#include <QImage>
#include <QMutex>

/** A recogniser that answers what the test told it, and keeps what it was asked to read. */
class FakeTextRecogniser final : public TextRecogniser
{
public:
    /// What every call answers from now on.
    void answer(Result<QList<RecognisedLine>> lines);

    Result<QList<RecognisedLine>> recognise(const QImage &picture, const QStringList &languages,
                                            int dotsPerInch) override;

    int calls() const;
    QImage lastPicture() const;
    QStringList lastLanguages() const;
    int lastDotsPerInch() const;

private:
    mutable QMutex m_mutex;
    Result<QList<RecognisedLine>> m_answer = QList<RecognisedLine>();
    int m_calls = 0;
    QImage m_picture;
    QStringList m_languages;
    int m_dotsPerInch = 0;
};
