#pragma once

#include "DesktopWindowing.h"

/** For platforms whose window manager takes no hints from us: Qt's flags are all there is. */
class NullDesktopWindowing final : public DesktopWindowing
{
public:
    void keepOnAllDesktops(QWindow *) override {}
    void setInputRegion(QWindow *, const QRegion &) override {}
    void setVisibleRegion(QWindow *, const std::optional<QRegion> &) override {}
    bool hasCompositor(QWindow *) const override { return true; }
};
