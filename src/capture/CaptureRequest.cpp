#include "CaptureRequest.h"

#include <QRegularExpression>

namespace {

QString screensName(CaptureRequest::Screens screens)
{
    switch (screens) {
    case CaptureRequest::Screens::Primary:
        return QStringLiteral("primary");
    case CaptureRequest::Screens::Pointer:
        return QStringLiteral("pointer");
    case CaptureRequest::Screens::All:
        return QStringLiteral("all");
    }
    return QString();
}

} // namespace

CaptureRequest CaptureRequest::ofScreens(Screens screens)
{
    CaptureRequest request;
    request.screens = screens;
    return request;
}

CaptureRequest CaptureRequest::ofRegion(const QRect &region)
{
    CaptureRequest request;
    request.kind = Kind::Region;
    request.region = region;
    return request;
}

CaptureRequest CaptureRequest::ofKind(Kind kind)
{
    CaptureRequest request;
    request.kind = kind;
    return request;
}

CaptureRequest CaptureRequest::after(int seconds) const
{
    CaptureRequest request = *this;
    request.delaySeconds = seconds;
    return request;
}

Result<QRect> CaptureRequest::parseRegion(const QString &text)
{
    static const QRegularExpression form(QStringLiteral(
        "^\\s*([+-]?\\d{1,9})\\s*,\\s*([+-]?\\d{1,9})\\s*,\\s*([+-]?\\d{1,9})\\s*[xX]"
        "\\s*([+-]?\\d{1,9})\\s*$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return Result<QRect>::failure(
            QStringLiteral("region \"%1\" is not X,Y,WxH (e.g. 0,0,640x480)").arg(text));
    const int width = match.captured(3).toInt();
    const int height = match.captured(4).toInt();
    if (width <= 0 || height <= 0)
        return Result<QRect>::failure(
            QStringLiteral("region \"%1\" has a zero or negative size").arg(text));
    return QRect(match.captured(1).toInt(), match.captured(2).toInt(), width, height);
}

Result<CaptureRequest::Screens> CaptureRequest::parseScreens(const QString &text)
{
    for (Screens screens : {Screens::Primary, Screens::Pointer, Screens::All}) {
        if (text == screensName(screens))
            return screens;
    }
    return Result<Screens>::failure(
        QStringLiteral("screen \"%1\" is not primary, pointer or all").arg(text));
}

Result<int> CaptureRequest::parseDelay(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("^\\d{1,9}$"));
    if (!digits.match(text).hasMatch() || text.toInt() > MaxDelaySeconds)
        return Result<int>::failure(
            QStringLiteral("delay \"%1\" is not a whole number of seconds from 0 to %2")
                .arg(text)
                .arg(MaxDelaySeconds));
    return text.toInt();
}

QString CaptureRequest::problem() const
{
    if (delaySeconds < 0 || delaySeconds > MaxDelaySeconds)
        return QStringLiteral("delay \"%1\" is not a whole number of seconds from 0 to %2")
            .arg(delaySeconds)
            .arg(MaxDelaySeconds);
    if (kind == Kind::Region && (region.width() <= 0 || region.height() <= 0))
        return QStringLiteral("region \"%1\" has a zero or negative size").arg(regionText(region));
    return QString();
}

QString CaptureRequest::regionText(const QRect &region)
{
    return QStringLiteral("%1,%2,%3x%4")
        .arg(region.x())
        .arg(region.y())
        .arg(region.width())
        .arg(region.height());
}

QString CaptureRequest::action() const
{
    switch (kind) {
    case Kind::Screens:
        return screens == Screens::Primary ? QStringLiteral("take-screenshot")
                                           : QStringLiteral("screen ") + screensName(screens);
    case Kind::Region:
        return QStringLiteral("region ") + regionText(region);
    case Kind::LastRegion:
        return QStringLiteral("last-region");
    case Kind::Window:
        return QStringLiteral("window");
    case Kind::SelectRegion:
        return QStringLiteral("region");
    }
    return QString();
}

Result<CaptureRequest> CaptureRequest::fromAction(const QString &action)
{
    const QString word = action.section(QLatin1Char(' '), 0, 0);
    const QString value = action.section(QLatin1Char(' '), 1);
    const bool bare = value.isEmpty();
    if (word == QLatin1String("take-screenshot") && bare)
        return ofScreens(Screens::Primary);
    if (word == QLatin1String("screen") && !bare) {
        const auto screens = parseScreens(value);
        if (!screens.ok())
            return Result<CaptureRequest>::failure(screens.error());
        return ofScreens(screens.value());
    }
    if (word == QLatin1String("region")) {
        if (bare)
            return ofKind(Kind::SelectRegion);
        const auto region = parseRegion(value);
        if (!region.ok())
            return Result<CaptureRequest>::failure(region.error());
        return ofRegion(region.value());
    }
    if (word == QLatin1String("last-region") && bare)
        return ofKind(Kind::LastRegion);
    if (word == QLatin1String("window") && bare)
        return ofKind(Kind::Window);
    return Result<CaptureRequest>::failure(
        QStringLiteral("action \"%1\" is not take-screenshot, screen primary|pointer|all, "
                       "region [X,Y,WxH], last-region or window")
            .arg(action));
}
