#include "FakeTextRecogniser.h"

#include <QMutexLocker>

void FakeTextRecogniser::answer(Result<QList<RecognisedLine>> lines)
{
    QMutexLocker lock(&m_mutex);
    m_answer = std::move(lines);
}

Result<QList<RecognisedLine>>
FakeTextRecogniser::recognise(const QImage &picture, const QStringList &languages, int dotsPerInch)
{
    QMutexLocker lock(&m_mutex);
    ++m_calls;
    m_picture = picture;
    m_languages = languages;
    m_dotsPerInch = dotsPerInch;
    return m_answer;
}

int FakeTextRecogniser::calls() const
{
    QMutexLocker lock(&m_mutex);
    return m_calls;
}

QImage FakeTextRecogniser::lastPicture() const
{
    QMutexLocker lock(&m_mutex);
    return m_picture;
}

QStringList FakeTextRecogniser::lastLanguages() const
{
    QMutexLocker lock(&m_mutex);
    return m_languages;
}

int FakeTextRecogniser::lastDotsPerInch() const
{
    QMutexLocker lock(&m_mutex);
    return m_dotsPerInch;
}
