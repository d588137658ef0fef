#pragma once

#include "Clipboard.h"

/** The clipboard of the running desktop, through Qt's. Owned by AppDelegate. */
class SystemClipboard final : public Clipboard
{
public:
    const QMimeData *mimeData() const override;
    void setMimeData(QMimeData *data) override;
};
