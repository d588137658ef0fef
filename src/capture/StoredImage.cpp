#include "StoredImage.h"

StoredImage::StoredImage(CaptureStore *store, const QImage &image)
{
    if (!store || image.isNull())
        return;
    auto held = std::make_shared<Held>();
    held->store = store;
    held->key = store->keep(image);
    held->size = image.size();
    m_held = std::move(held);
}

StoredImage::Held::~Held()
{
    if (store)
        store->remove(key);
}

QImage StoredImage::image() const
{
    return m_held && m_held->store ? m_held->store->image(m_held->key) : QImage();
}

CaptureStore::PixelSource StoredImage::source() const
{
    if (m_held && m_held->store)
        return m_held->store->source(m_held->key);
    return [] { return Result<QImage>::failure(QStringLiteral("the picture is gone")); };
}
