#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

#include <functional>

class EditorState;
struct Annotation;

/**
 * The three text style values behind the toolbar's text controls: plate, font family and
 * size. Each reads the selected text record's field, or the editor's default for new boxes
 * when no text record is selected; writing sets the default first, then the selected text
 * record. Holds no state of its own but the installed family list, read once. Made by
 * TextStyleControls.qml.
 */
class TextStyle : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_MOC_INCLUDE("editor/EditorState.h")
    Q_PROPERTY(EditorState *editor READ editor WRITE setEditor NOTIFY editorChanged)
    Q_PROPERTY(bool activeTextHasBackground READ activeTextHasBackground WRITE
                   setActiveTextHasBackground NOTIFY activeStyleChanged)
    Q_PROPERTY(QString activeFontName READ activeFontName WRITE setActiveFontName NOTIFY
                   activeStyleChanged)
    Q_PROPERTY(
        double activeFontSize READ activeFontSize WRITE setActiveFontSize NOTIFY activeStyleChanged)
    Q_PROPERTY(QStringList fontFamilies READ fontFamilies CONSTANT)

public:
    static constexpr double minimumFontSize = 8;
    static constexpr double maximumFontSize = 144;

    explicit TextStyle(QObject *parent = nullptr);

    EditorState *editor() const { return m_editor; }
    void setEditor(EditorState *editor);

    bool activeTextHasBackground() const;
    void setActiveTextHasBackground(bool on);
    QString activeFontName() const;
    void setActiveFontName(const QString &name);
    double activeFontSize() const;
    void setActiveFontSize(double size);

    /// Every installed family, in the font database's order; read at the first call.
    QStringList fontFamilies() const;

    /// The stepper's label: the size with its fraction dropped, then " pt".
    Q_INVOKABLE static QString sizeLabel(double size);

Q_SIGNALS:
    void editorChanged();
    void activeStyleChanged();

private:
    /// The selected record when it is a text, else none.
    const Annotation *selectedText() const;
    void updateSelectedText(const std::function<void(Annotation &)> &change);

    QPointer<EditorState> m_editor;
    mutable QStringList m_families;
    mutable bool m_familiesRead = false;
};
