#pragma once

#include "Annotation.h"

#include <QImage>
#include <QList>
#include <QRectF>
#include <QUuid>

#include <memory>
#include <optional>

/// A record as some edit left it. Steps share these, so a record that many steps name is
/// stored once, and a copy of the history costs pointers.
using RecordVersion = std::shared_ptr<const Annotation>;

/** One edit of the document, with what it takes to take it back and to make it again. */
struct EditStep
{
    enum class Kind {
        Insert, // `records` joined the list at their rows
        Remove, // `records` left the list from their rows (Delete, Clear)
        Change, // the record went from `before` to `after` (move, scale, restyle, text)
        Crop,   // the output rectangle went from `cropBefore` to `cropAfter`
        Revert, // `records` left the list and the crop went from `cropBefore` to none
    };
    /** A record and the row it held (Remove) or holds (Insert), ascending by row. */
    struct Row
    {
        int row = 0;
        RecordVersion record;
        QImage display; // the smaller copy of an image the canvas shows, if it had one
    };

    Kind kind = Kind::Insert;
    QList<Row> records;
    RecordVersion before;
    RecordVersion after;
    std::optional<QRectF> cropBefore;
    std::optional<QRectF> cropAfter;
};

/**
 * The edits of one editor, oldest first, and how many of them are done: those past that
 * point are the redo steps, and a new edit drops them. Knows nothing of the list it edits:
 * AnnotationDocument applies a step forwards or backwards and tells the history whether it
 * still applied (a step whose record went another way, a blank text dropped, is forgotten).
 */
class EditHistory
{
public:
    bool canUndo() const { return m_done > 0; }
    bool canRedo() const { return m_done < m_steps.size(); }
    qsizetype doneCount() const { return m_done; }

    /// A new edit: the redo steps go.
    void push(EditStep step);
    /// The newest done step, for a caller that folds a continuing edit into it; null when
    /// none is done.
    EditStep *newestDone() { return m_done > 0 ? &m_steps[m_done - 1] : nullptr; }

    /// The step Undo takes back; it counts as undone from now on. Only when canUndo().
    const EditStep &stepBack();
    /// The step Redo makes again; it counts as done from now on. Only when canRedo().
    const EditStep &stepForward();
    /// Forgets the step just stepped over (back or forward): it no longer applied.
    void forgetLastStepped();

private:
    QList<EditStep> m_steps;
    qsizetype m_done = 0;
    qsizetype m_lastStepped = -1;
};
