#include "FontLookup.h"

#include <QFontDatabase>
#include <QHash>
#include <QMutex>
#include <QStringList>

#include <fontconfig/fontconfig.h>

#include <memory>

namespace {

struct PatternDeleter
{
    void operator()(FcPattern *pattern) const { FcPatternDestroy(pattern); }
};
using Pattern = std::unique_ptr<FcPattern, PatternDeleter>;

QString familyAt(const FcPattern *pattern, int index)
{
    FcChar8 *family = nullptr;
    if (FcPatternGetString(pattern, FC_FAMILY, index, &family) != FcResultMatch || !family)
        return {};
    return QString::fromUtf8(reinterpret_cast<const char *>(family));
}

// The families fontconfig put in the pattern for `name` by rules bound to it: the name
// itself and its aliases. The generic defaults it appends to every pattern ("sans-serif"
// and what that stands for) are weakly bound and left out.
QStringList boundFamilies(const FcPattern *pattern)
{
    QStringList families;
    for (int i = 0;; ++i) {
        FcValue value;
        FcValueBinding binding;
        const FcResult result = FcPatternGetWithBinding(pattern, FC_FAMILY, i, &value, &binding);
        if (result == FcResultNoId || result == FcResultNoMatch)
            break;
        if (result == FcResultMatch && value.type == FcTypeString && binding != FcValueBindingWeak)
            families.append(QString::fromUtf8(reinterpret_cast<const char *>(value.u.s)));
    }
    return families;
}

} // namespace

namespace FontLookup {

std::optional<QString> resolvedFamily(const QString &name)
{
    if (name.trimmed().isEmpty())
        return std::nullopt;
    // Fonts Qt knows itself (application fonts included) are found as they are.
    if (QFontDatabase::families().contains(name, Qt::CaseInsensitive))
        return name;

    Pattern pattern(FcPatternCreate());
    if (!pattern)
        return std::nullopt;
    const QByteArray utf8 = name.toUtf8();
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8 *>(utf8.data()));
    if (!FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern))
        return std::nullopt;
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    const Pattern match(FcFontMatch(nullptr, pattern.get(), &result));
    if (!match || result != FcResultMatch)
        return std::nullopt;

    const QStringList wanted = boundFamilies(pattern.get());
    for (int i = 0;; ++i) {
        const QString family = familyAt(match.get(), i);
        if (family.isEmpty())
            break;
        if (wanted.contains(family, Qt::CaseInsensitive))
            return familyAt(match.get(), 0);
    }
    return std::nullopt;
}

std::optional<QString> cachedFamily(const QString &name)
{
    // The views ask on the UI thread, but the export is a pure function any thread may run.
    static QMutex mutex;
    static QHash<QString, std::optional<QString>> families;
    const QMutexLocker lock(&mutex);
    auto found = families.constFind(name);
    if (found == families.constEnd())
        found = families.insert(name, resolvedFamily(name));
    return *found;
}

QFont textFont(const std::optional<QString> &family, double pixelSize, int logicalDpi)
{
    QFont font;
    if (family) {
        font = QFont(*family);
        font.setWeight(QFont::Normal);
    } else {
        font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        font.setBold(true);
    }
    // QFont takes fractional sizes only in points; the device's resolution turns them back
    // into exactly `pixelSize` units.
    font.setPointSizeF(std::max(pixelSize, 0.01) * 72.0 / (logicalDpi > 0 ? logicalDpi : 96));
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(true);
    return font;
}

QFont textFont(const QString &name, double pixelSize, int logicalDpi)
{
    return textFont(resolvedFamily(name), pixelSize, logicalDpi);
}

} // namespace FontLookup
