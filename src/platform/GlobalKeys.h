#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <memory>

/**
 * The system-wide key combinations, Ctrl+Shift+1 to Ctrl+Shift+4 on the physical keys of
 * the digits 1 to 4: taking them from every other program and reporting each press.
 * The global shortcut in app/ installs them and runs their actions; one backend per kind
 * of session and a fake for tests.
 */
class GlobalKeys : public QObject
{
    Q_OBJECT

public:
    enum class Combination { TakeScreenshot, ToggleStack, SelectRegion, CaptureWindow };
    Q_ENUM(Combination)

    /// What became of one combination when installing.
    struct Outcome
    {
        Combination combination;
        bool taken = false;
        QString reason; // why it was not taken
    };

    using QObject::QObject;

    /// How the combination is written for the user: "Ctrl+Shift+1".
    static QString name(Combination combination);
    static QList<Combination> combinations()
    {
        return {Combination::TakeScreenshot, Combination::ToggleStack, Combination::SelectRegion,
                Combination::CaptureWindow};
    }

    /// Whether this session lets the program take key combinations at all.
    virtual bool isInstallable() const = 0;
    /// Asks the desktop to let the program have its combinations, where it must be asked
    /// (the global-shortcuts portal); isInstallable() turns true once it agrees. Returns at
    /// once; asking again while the first request runs does nothing.
    virtual void askToInstall() {}
    /// The desktop has answered that the program cannot have its combinations (no way to ask,
    /// or the user said no), and has said so once: waiting for them is pointless.
    virtual bool isRefused() const { return false; }
    /// Takes both combinations; one outcome per combination, in the order of combinations().
    /// Called once.
    virtual QList<Outcome> install() = 0;

    /// The backend for the running session.
    static std::unique_ptr<GlobalKeys> create();

Q_SIGNALS:
    /// One press of a combination, auto-repeated presses included. Emitted while the key
    /// event is being handled: receivers queue their work.
    void activated(GlobalKeys::Combination combination);
};
