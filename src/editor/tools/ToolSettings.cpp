#include "ToolSettings.h"

#include "editor/document/Annotation.h"

#include <algorithm>
#include <cmath>
#include <iterator>

ToolSettings::ToolSettings(QObject *parent)
    : QObject(parent),
      m_colorPresets({QColor(255, 0, 0), QColor(0, 0, 255), QColor(0, 255, 0), QColor(255, 255, 0),
                      QColor(0, 0, 0), QColor(255, 255, 255)}),
      m_color(m_colorPresets.first()), m_fontName(TextDefaults::fontName()),
      m_fontSize(TextDefaults::fontSize)
{}

void ToolSettings::setCurrentTool(DrawingTool tool)
{
    if (tool == m_currentTool)
        return;
    m_currentTool = tool;
    Q_EMIT currentToolChanged();
}

bool ToolSettings::textStyleEnabled() const
{
    return m_currentTool == DrawingTool::Text || m_currentTool == DrawingTool::Pointer;
}

QVariantList ToolSettings::colorPresetList() const
{
    QVariantList list;
    for (const QColor &color : m_colorPresets)
        list.append(color);
    return list;
}

void ToolSettings::chooseSwatch(int index)
{
    if (index < 0 || index >= m_colorPresets.size())
        return;
    if (index != m_activeColorIndex) {
        m_activeColorIndex = index;
        Q_EMIT activeColorIndexChanged();
    }
    setColor(m_colorPresets.at(index));
}

void ToolSettings::setColor(const QColor &color)
{
    if (color == m_color)
        return;
    m_color = color;
    // Whatever chose the colour, the active swatch takes it.
    if (m_colorPresets.value(m_activeColorIndex) != color) {
        m_colorPresets[m_activeColorIndex] = color;
        Q_EMIT colorPresetsChanged();
    }
    Q_EMIT colorChanged();
}

void ToolSettings::setLineWidth(double width)
{
    if (width == m_lineWidth || std::find(std::begin(lineWidthChoices), std::end(lineWidthChoices),
                                          width) == std::end(lineWidthChoices))
        return;
    m_lineWidth = width;
    Q_EMIT lineWidthChanged();
}

void ToolSettings::setRedactPixelate(bool on)
{
    if (on == m_redactPixelate)
        return;
    m_redactPixelate = on;
    Q_EMIT redactStyleChanged();
}

void ToolSettings::setRedactColor(const QColor &color)
{
    if (color == m_redactColor || !color.isValid())
        return;
    m_redactColor = color;
    Q_EMIT redactStyleChanged();
}

QVariantList ToolSettings::lineWidthList() const
{
    QVariantList list;
    for (double width : lineWidthChoices)
        list.append(width);
    return list;
}

void ToolSettings::setTextHasBackground(bool on)
{
    if (on == m_textHasBackground)
        return;
    m_textHasBackground = on;
    Q_EMIT textStyleChanged();
}

void ToolSettings::setFontName(const QString &family)
{
    if (family == m_fontName)
        return;
    m_fontName = family;
    Q_EMIT textStyleChanged();
}

void ToolSettings::setFontSize(double size)
{
    if (size == m_fontSize || !std::isfinite(size))
        return;
    m_fontSize = size;
    Q_EMIT textStyleChanged();
}
