#pragma once

#include <QColor>
#include <QObject>
#include <QtQml/qqmlregistration.h>

/**
 * The few desktop colours the editor's views use, named once: the accent blue of a selected
 * tool and of selection borders, the primary and secondary text, the window background and
 * the neutral grey around the capture. Read by the editor's QML as the singleton
 * SystemColors and by C++ (the export's backdrop) through the static functions.
 */
class SystemColors : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QColor systemBlue READ systemBlue CONSTANT)
    Q_PROPERTY(QColor primaryText READ primaryText CONSTANT)
    Q_PROPERTY(QColor secondaryText READ secondaryText CONSTANT)
    Q_PROPERTY(QColor windowBackground READ windowBackground CONSTANT)
    Q_PROPERTY(QColor underPageBackground READ underPageBackground CONSTANT)

public:
    explicit SystemColors(QObject *parent = nullptr) : QObject(parent) {}

    static QColor systemBlue() { return QColor(0x35, 0x84, 0xe4); }
    static QColor primaryText() { return QColor(0x24, 0x24, 0x24); }
    static QColor secondaryText() { return QColor(0x6e, 0x6e, 0x6e); }
    static QColor windowBackground() { return QColor(0xf2, 0xf2, 0xf2); }
    static QColor underPageBackground() { return QColor(0x80, 0x80, 0x80); }
};
