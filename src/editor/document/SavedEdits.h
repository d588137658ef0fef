#pragma once

#include "capture/CaptureEdits.h"
#include "capture/StoredImage.h"
#include "editor/document/Annotation.h"

#include <QHash>
#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>

class CaptureStore;

/**
 * A capture's annotations as the stack keeps them: the records in drawing order, the crop
 * and the canvas space they were drawn in, with every inserted image held compressed by
 * the capture store. Made from an editor's document at "Save Edits" and when an editor
 * closes with edits unsaved (the draft); put back into a document when the capture is
 * edited again. Draws the flattened picture as "Save Edits" always has. Immutable.
 */
class SavedEdits final : public CaptureEdits
{
public:
    /// What an editor's document holds: the records with their images, the crop, and the
    /// size canvas space had (the capture's fit at the editor's first layout).
    struct Content
    {
        QList<Annotation> records;
        std::optional<QRectF> crop;
        QSizeF canvasSize;

        bool isEmpty() const { return records.isEmpty() && !crop; }
        bool operator==(const Content &other) const = default;
    };
    /// The kept copy of an image record's picture that `content` may share, if the record
    /// still holds that very picture; a null handle otherwise.
    using Reuse = std::function<StoredImage(const Annotation &record)>;

    /// `content` kept: each image goes to `store` unless `reuse` has it kept already.
    static std::shared_ptr<const SavedEdits> make(const Content &content, CaptureStore *store,
                                                  const Reuse &reuse = {});

    Renderer renderer() const override;

    /// Whether `content` is what these edits hold: the same records, crop and canvas size,
    /// each image record sharing (through `reuse`) the very picture kept here.
    bool holds(const Content &content, const Reuse &reuse) const;

    /// The records, crop and canvas size again, each image decoded on this thread (a
    /// record whose image cannot be had is left out).
    Content content() const;
    /// The kept picture of the image record `id`; a null handle for any other.
    StoredImage storedImage(const QUuid &id) const { return m_images.value(id); }
    int recordCount() const { return int(m_records.size()); }
    std::optional<QRectF> crop() const { return m_crop; }
    QSizeF canvasSize() const { return m_canvasSize; }

private:
    /// `record` as it is kept: an image's pixels in the store, not in the record.
    static Annotation stripped(const Annotation &record);

    QList<Annotation> m_records; // images held in m_images, by record id
    QHash<QUuid, StoredImage> m_images;
    std::optional<QRectF> m_crop;
    QSizeF m_canvasSize;
};
