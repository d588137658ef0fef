#include "ContrastingTextColor.h"

namespace {

// QColor keeps 16-bit channels, so 0.5 comes back as 32768/65535, a hair above one half,
// which would turn a mid grey's white text black. Each channel is read as the least value
// that is stored as it, so every value set exactly (0.5 included) is read back exactly
// enough for the comparison.
double channel(int value16)
{
    return value16 == 0 ? 0.0 : (value16 - 0.5) / 65535.0;
}

} // namespace

QColor contrastingTextColor(const QColor &plate)
{
    if (!plate.isValid())
        return Qt::black;
    const QRgba64 rgb = plate.toRgb().rgba64();
    const double luma =
        (0.299 * channel(rgb.red()) + 0.587 * channel(rgb.green())) + 0.114 * channel(rgb.blue());
    return luma > 0.5 ? QColor(Qt::black) : QColor(Qt::white);
}
