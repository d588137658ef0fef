#include "FakeClipboard.h"

void FakeClipboard::hold(const QList<std::pair<QString, QByteArray>> &formats)
{
    m_held = std::make_unique<QMimeData>();
    for (const auto &[format, data] : formats)
        m_held->setData(format, data);
}
