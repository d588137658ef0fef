#include "platform/Autostart.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

void writeFile(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class AutostartTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void entryFollowsXdgConfigHome()
    {
        QTemporaryDir home;
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        Autostart autostart;
        QCOMPARE(autostart.entryPath(),
                 home.path() + QStringLiteral("/autostart/org.orrinvale.Orrinvale.desktop"));
    }

    void enableThenDisable()
    {
        QTemporaryDir home;
        Autostart autostart(home.path());
        QSignalSpy changed(&autostart, &Autostart::enabledChanged);
        QVERIFY(!autostart.isEnabled());

        QVERIFY(autostart.setEnabled(true).ok());
        QVERIFY(autostart.isEnabled());
        QCOMPARE(changed.count(), 1);
        const QByteArray text = readFile(autostart.entryPath());
        QVERIFY(text.startsWith("[Desktop Entry]\n"));
        QVERIFY(text.contains("\nExec=orrinvale\n"));
        // No temporary file is left beside the entry.
        QCOMPARE(QDir(home.path() + QStringLiteral("/autostart")).entryList(QDir::Files).size(), 1);

        QVERIFY(autostart.setEnabled(false).ok());
        QVERIFY(!autostart.isEnabled());
        QVERIFY(!QFile::exists(autostart.entryPath()));
        QCOMPARE(changed.count(), 2);

        // Turning off what is off is no failure and no change.
        QVERIFY(autostart.setEnabled(false).ok());
        QCOMPARE(changed.count(), 2);
        QVERIFY(autostart.lastError().isEmpty());
    }

    void existingEntry_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("enabled");

        QTest::newRow("plain") << QByteArray("[Desktop Entry]\nType=Application\nExec=orrinvale\n")
                               << true;
        QTest::newRow("hidden, spaced") << QByteArray("[Desktop Entry]\nHidden = True\n") << false;
        QTest::newRow("hidden=false") << QByteArray("[Desktop Entry]\nHidden=false\n") << true;
        QTest::newRow("GNOME switch off")
            << QByteArray("[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n") << false;
        QTest::newRow("Hidden in another group")
            << QByteArray("[Desktop Entry]\nExec=orrinvale\n[Desktop Action X]\nHidden=true\n")
            << true;
        QTest::newRow("commented out") << QByteArray("[Desktop Entry]\n#Hidden=true\n") << true;
    }

    void existingEntry()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, enabled);
        QTemporaryDir home;
        Autostart autostart(home.path());
        writeFile(autostart.entryPath(), text);
        QCOMPARE(autostart.isEnabled(), enabled);

        // Turning it on keeps an entry that is already on, and replaces one that is off.
        QVERIFY(autostart.setEnabled(true).ok());
        QVERIFY(autostart.isEnabled());
        if (enabled)
            QCOMPARE(readFile(autostart.entryPath()), text);
        else
            QVERIFY(readFile(autostart.entryPath()).contains("\nExec=orrinvale\n"));
    }

    void failureKeepsThePreviousState_data()
    {
        QTest::addColumn<bool>("enable");
        QTest::newRow("turn on") << true;
        QTest::newRow("turn off") << false;
    }

    void failureKeepsThePreviousState()
    {
        QFETCH(bool, enable);
        QTemporaryDir home;
        Autostart autostart(home.path());
        if (!enable)
            QVERIFY(autostart.setEnabled(true).ok());
        const QString dir = home.path() + QStringLiteral("/autostart");
        QDir().mkpath(dir);
        if (::geteuid() == 0) {
            // Permissions do not stop root: put a directory where the temporary file or
            // the entry would have to be replaced instead.
            if (enable)
                QVERIFY(QDir().mkpath(autostart.entryPath() + QStringLiteral("/blocker")));
            else
                QSKIP("root can remove a file from a read-only folder");
        } else {
            QVERIFY(QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        }

        QSignalSpy changed(&autostart, &Autostart::enabledChanged);
        const Result<bool> result = autostart.setEnabled(enable);
        QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                       QFileDevice::ExeOwner);
        QVERIFY(!result.ok());
        QVERIFY(result.error().contains(autostart.entryPath()));
        QCOMPARE(autostart.lastError(), result.error());
        QCOMPARE(autostart.isEnabled(), !enable);
        QCOMPARE(changed.count(), 0);

        // The view's request re-announces the real state so a check box can spring back.
        QVERIFY(!autostart.requestEnabled(enable));
        QCOMPARE(changed.count(), 1);
    }
};

QTEST_GUILESS_MAIN(AutostartTest)
#include "AutostartTest.moc"
