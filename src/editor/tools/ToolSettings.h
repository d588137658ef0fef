#pragma once

#include "DrawingTool.h"

#include <QColor>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

/**
 * What the next record is made with: the current tool, the six colour swatches and the
 * active one, the selected colour, the line width, and the style of new text boxes. The selected
 * colour and the active swatch move together: whatever sets the colour sets the swatch. Holds no
 * records; EditorState carries a colour, width or style change over to the selected record.
 */
class ToolSettings : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Owned by EditorState")
    Q_PROPERTY(DrawingTools::DrawingTool currentTool READ currentTool WRITE setCurrentTool NOTIFY
                   currentToolChanged)
    Q_PROPERTY(bool isPointerMode READ isPointerMode NOTIFY currentToolChanged)
    // The text style controls work only with the tools that make or pick texts.
    Q_PROPERTY(bool textStyleEnabled READ textStyleEnabled NOTIFY currentToolChanged)
    Q_PROPERTY(QVariantList colorPresets READ colorPresetList NOTIFY colorPresetsChanged)
    Q_PROPERTY(int activeColorIndex READ activeColorIndex NOTIFY activeColorIndexChanged)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged)
    // The line width of new stroked records, one of `lineWidths`.
    Q_PROPERTY(double lineWidth READ lineWidth WRITE setLineWidth NOTIFY lineWidthChanged)
    Q_PROPERTY(QVariantList lineWidths READ lineWidthList CONSTANT)
    // New redactions: a mosaic or solid, and the solid colour (black until a colour is
    // chosen while Redact is the tool).
    Q_PROPERTY(
        bool redactPixelate READ redactPixelate WRITE setRedactPixelate NOTIFY redactStyleChanged)

public:
    explicit ToolSettings(QObject *parent = nullptr);

    DrawingTool currentTool() const { return m_currentTool; }
    void setCurrentTool(DrawingTool tool);
    bool isPointerMode() const { return m_currentTool == DrawingTool::Pointer; }
    bool textStyleEnabled() const;
    /// The tool's name on its toolbar button.
    Q_INVOKABLE static QString label(DrawingTools::DrawingTool tool) { return toolLabel(tool); }

    QList<QColor> colorPresets() const { return m_colorPresets; }
    QVariantList colorPresetList() const;
    int activeColorIndex() const { return m_activeColorIndex; }
    /// Swatch `index` becomes the active one and its colour the selected colour; an index
    /// out of range changes nothing.
    Q_INVOKABLE void chooseSwatch(int index);
    QColor color() const { return m_color; }
    /// Also puts the colour in the active swatch.
    void setColor(const QColor &color);

    /// The four widths of the width buttons, in points.
    static constexpr double lineWidthChoices[] = {2, 4, 8, 12};
    static constexpr double defaultLineWidth = 4;
    double lineWidth() const { return m_lineWidth; }
    /// A width that is not one of the choices is ignored.
    void setLineWidth(double width);
    QVariantList lineWidthList() const;

    bool redactPixelate() const { return m_redactPixelate; }
    void setRedactPixelate(bool on);
    QColor redactColor() const { return m_redactColor; }
    void setRedactColor(const QColor &color);

    // The style of new text boxes; the toolbar's TextStyle shows and sets it.
    bool textHasBackground() const { return m_textHasBackground; }
    void setTextHasBackground(bool on);
    QString fontName() const { return m_fontName; }
    void setFontName(const QString &family);
    double fontSize() const { return m_fontSize; }
    /// A size that is not a finite number is ignored.
    void setFontSize(double size);

Q_SIGNALS:
    void currentToolChanged();
    void colorPresetsChanged();
    void activeColorIndexChanged();
    void colorChanged();
    void textStyleChanged();
    void lineWidthChanged();
    void redactStyleChanged();

private:
    DrawingTool m_currentTool = DrawingTool::Pen;
    QList<QColor> m_colorPresets;
    int m_activeColorIndex = 0;
    QColor m_color;
    double m_lineWidth = defaultLineWidth;
    bool m_redactPixelate = false;
    QColor m_redactColor{0, 0, 0};
    bool m_textHasBackground = false;
    QString m_fontName;
    double m_fontSize;
};
