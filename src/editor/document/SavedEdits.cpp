#include "SavedEdits.h"

#include "editor/render/ExportRenderer.h"

std::shared_ptr<const SavedEdits> SavedEdits::make(const Content &content, CaptureStore *store,
                                                   const Reuse &reuse)
{
    auto edits = std::make_shared<SavedEdits>();
    edits->m_crop = content.crop;
    edits->m_canvasSize = content.canvasSize;
    edits->m_records.reserve(content.records.size());
    for (const Annotation &record : content.records) {
        if (record.imagePayload && !record.imagePayload->isNull()) {
            StoredImage image = reuse ? reuse(record) : StoredImage();
            if (image.isNull())
                image = StoredImage(store, *record.imagePayload);
            edits->m_images.insert(record.id, image);
        }
        edits->m_records.append(stripped(record));
    }
    return edits;
}

Annotation SavedEdits::stripped(const Annotation &record)
{
    Annotation kept = record;
    // The picture lives in the store alone; the record keeps the fact that it has one.
    if (kept.imagePayload)
        kept.imagePayload = QImage();
    return kept;
}

bool SavedEdits::holds(const Content &content, const Reuse &reuse) const
{
    if (content.crop != m_crop || content.canvasSize != m_canvasSize ||
        content.records.size() != m_records.size())
        return false;
    for (qsizetype row = 0; row < m_records.size(); ++row) {
        const Annotation &record = content.records.at(row);
        if (stripped(record) != m_records.at(row))
            return false;
        const auto kept = m_images.constFind(record.id);
        const bool hasImage = record.imagePayload && !record.imagePayload->isNull();
        if (hasImage != (kept != m_images.cend()))
            return false;
        if (hasImage && (!reuse || !(reuse(record) == *kept)))
            return false;
    }
    return true;
}

CaptureEdits::Renderer SavedEdits::renderer() const
{
    QHash<QUuid, CaptureStore::PixelSource> images;
    for (auto it = m_images.cbegin(); it != m_images.cend(); ++it)
        images.insert(it.key(), it.value().source());
    return [records = m_records, images, crop = m_crop,
            canvasSize = m_canvasSize](const QImage &original) mutable -> Result<QImage> {
        for (Annotation &record : records) {
            const auto source = images.constFind(record.id);
            if (source == images.cend())
                continue;
            const Result<QImage> image = (*source)();
            if (!image.ok())
                return Result<QImage>::failure(QStringLiteral("an inserted picture is lost: ") +
                                               image.error());
            record.imagePayload = image.value();
        }
        return ExportRenderer::render(original, canvasSize, records, crop);
    };
}

SavedEdits::Content SavedEdits::content() const
{
    Content content;
    content.crop = m_crop;
    content.canvasSize = m_canvasSize;
    for (const Annotation &record : m_records) {
        Annotation restored = record;
        if (const auto stored = m_images.constFind(record.id); stored != m_images.cend()) {
            const QImage image = stored->image();
            if (image.isNull())
                continue; // the store has said why
            restored.imagePayload = image;
        }
        content.records.append(std::move(restored));
    }
    return content;
}
