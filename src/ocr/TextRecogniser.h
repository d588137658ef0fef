#pragma once

#include "platform/Result.h"

#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

class QImage;

/** One line of text a recogniser found, where it lies in the picture it was given, and how
 * sure the recogniser is of it (0 to 100). */
struct RecognisedLine
{
    QString text;
    QRect box;
    int confidence = 100;
};

/**
 * Finds the lines of text in a picture. TesseractRecogniser is the real one; tests give
 * their own, so nothing but the program itself needs Tesseract. Called on worker threads,
 * several calls at once (one for each band TextCopy reads at the same time).
 */
class TextRecogniser
{
public:
    virtual ~TextRecogniser() = default;

    /// The lines in `picture` (8-bit grey, dark text on a light ground, as
    /// TextImagePreparation makes it), read in `languages` (language data names such as
    /// "eng"); `dotsPerInch` is what the picture's text was drawn for. A failure says why.
    virtual Result<QList<RecognisedLine>>
    recognise(const QImage &picture, const QStringList &languages, int dotsPerInch) = 0;
};
