#pragma once

#include <QFont>
#include <QString>

#include <optional>

/**
 * Finding the font of a text annotation by its family name, the way fontconfig does it: a
 * name counts as found when fontconfig resolves it to that family or to a family the name
 * is a declared alias of ("Helvetica" finds its metric-compatible substitute); any other
 * name gets the bold system font. Used by the export and the text views, through
 * TextMetrics.
 */
namespace FontLookup {

/// The installed family that `name` stands for, or none when fontconfig would only fall
/// back to a default font for it.
std::optional<QString> resolvedFamily(const QString &name);

/// `resolvedFamily`, asked of fontconfig once per name for the whole run (the installed
/// fonts are read once, like the family list): typing re-measures a box on every key.
std::optional<QString> cachedFamily(const QString &name);

/// The font for `name` with glyphs `pixelSize` units high on a device of `logicalDpi`
/// (a QImage's is 96): the resolved family at its regular weight, else the bold system
/// font. Unhinted, so measuring and drawing agree at any painter scale.
QFont textFont(const QString &name, double pixelSize, int logicalDpi);

/// The same with a family already resolved by `resolvedFamily` (none: the fallback).
QFont textFont(const std::optional<QString> &family, double pixelSize, int logicalDpi);

} // namespace FontLookup
