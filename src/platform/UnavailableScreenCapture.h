#pragma once

#include "ScreenCapture.h"

/** Where no backend can read the screen: every capture fails and says why. */
class UnavailableScreenCapture final : public ScreenCapture
{
public:
    explicit UnavailableScreenCapture(QString reason) : m_reason(std::move(reason)) {}

    bool requestAccess() override { return true; }
    Result<QList<CaptureDisplay>> displays() override
    {
        return Result<QList<CaptureDisplay>>::failure(m_reason);
    }
    Result<QImage> capture(const CaptureDisplay &, QSize) override
    {
        return Result<QImage>::failure(m_reason);
    }
    Result<QList<QImage>> captureAreas(const QList<QRect> &) override
    {
        return Result<QList<QImage>>::failure(m_reason);
    }

private:
    QString m_reason;
};
