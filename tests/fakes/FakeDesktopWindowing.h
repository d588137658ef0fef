#pragma once

#include "platform/DesktopWindowing.h"

#include <QList>

/** Records what the stack panel asks of the window manager; tests set the compositor. */
class FakeDesktopWindowing final : public DesktopWindowing
{
public:
    void keepOnAllDesktops(QWindow *) override { ++keptOnAllDesktops; }
    void setInputRegion(QWindow *, const QRegion &region) override { inputRegions.append(region); }
    void setVisibleRegion(QWindow *, const std::optional<QRegion> &region) override
    {
        visibleRegions.append(region);
    }
    bool hasCompositor(QWindow *) const override { return compositor; }

    bool compositor = false;
    int keptOnAllDesktops = 0;
    QList<QRegion> inputRegions;
    QList<std::optional<QRegion>> visibleRegions;
};
