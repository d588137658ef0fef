#pragma once

#include "platform/Clipboard.h"

#include <QMimeData>

#include <memory>

/** A clipboard that holds whatever the test puts on it; nothing at first. */
class FakeClipboard final : public Clipboard
{
public:
    FakeClipboard() : m_held(std::make_unique<QMimeData>()) {}

    /// The clipboard now holds exactly `data` for each format given.
    void hold(const QList<std::pair<QString, QByteArray>> &formats);

    const QMimeData *mimeData() const override { return m_held.get(); }
    /// Like the desktop's: the data is deleted when something else takes its place.
    void setMimeData(QMimeData *data) override { m_held.reset(data); }

private:
    std::unique_ptr<QMimeData> m_held;
};
