// The crash and fault sweep: vorlan-flash against the simulated driver, killed or failed at
// every change it makes to its own files (a write, a sync, a rename, a removal) and killed every
// few KiB of flash written, in an update and in a put-back. After each point one restore leads
// back byte for byte, or nothing is at risk and the flash holds the old state or the image
// whole; and no run calls the flash safe beside a warning or over a flash at risk.

#include "FlashJournal.h"
#include "SimulatedDevice.h"
#include "StateFolder.h"

#include <QProcess>
#include <QtTest>

namespace {

// Runs vorlan-flash to its end with these simulator settings; its output, both channels.
QByteArray runTool(const QStringList &arguments,
                   const QList<QPair<QByteArray, QByteArray>> &settings, int *exitCode)
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const auto &setting : settings)
        environment.insert("VORLAN_SIM_" + setting.first, setting.second);
    tool.setProcessEnvironment(environment);
    tool.start(VORLAN_FLASH_BINARY, arguments);
    tool.closeWriteChannel();
    if (!tool.waitForFinished(30000))
        qFatal("vorlan-flash did not end");
    *exitCode = tool.exitStatus() == QProcess::CrashExit ? -9 : tool.exitCode();
    return tool.readAll();
}

} // namespace

class TestCrashSweep : public QObject
{
    Q_OBJECT

private slots:
    void sweep_data();
    void sweep();
};

void TestCrashSweep::sweep_data()
{
    QTest::addColumn<bool>("putBack");     // the faults hit the put-back after a failed update
    QTest::addColumn<QByteArray>("fault"); // of a file change, or "flash": a kill at a write
    QTest::addColumn<int>("stride");       // flash points: KiB written between two of them
    for (const bool putBack : {false, true}) {
        const char *run = putBack ? "put-back" : "update";
        for (const char *fault : {"kill", "enospc", "eio"})
            QTest::addRow("%s, every file change, %s", run, fault)
                << putBack << QByteArray(fault) << 1;
        // A put-back writes whole pages: it is sampled more sparsely.
        QTest::addRow("%s, flash written, kill", run)
            << putBack << QByteArray("flash") << (putBack ? 16 : 4);
    }
}

void TestCrashSweep::sweep()
{
    QFETCH(bool, putBack);
    QFETCH(QByteArray, fault);
    QFETCH(int, stride);
    const QByteArray former = componentData(0x400000, 9);
    // KERN spans two pages; CONF's first erase fails in the update that a put-back follows.
    const QList<ImageComponent> components{{"KERN", 0, 0x100000, 3, componentData(140000, 2)},
                                           {"CONF", 0, 0x200000, 3, componentData(3000, 3)}};
    QByteArray written = former;
    for (const ImageComponent &c : components) {
        const int pages = (c.data.size() + 0x1FFFF) / 0x20000 * 0x20000;
        written.replace(int(c.flashAddress), pages, QByteArray(pages, '\xFF'));
        written.replace(int(c.flashAddress), c.data.size(), c.data);
    }

    // The first run has no fault: it counts the points.
    int points = 0;
    for (int n = 0; n <= points; ++n) {
        SimulatedDevice device;
        device.setFlash(former);
        const QString image = device.makeImage(components);
        int exitCode = 0;
        if (putBack) {
            runTool({"update", image, "--yes"}, {{"ERASE_FAIL", "0x200000:1"}}, &exitCode);
            QCOMPARE(exitCode, 1);
        }
        const int writtenBefore = device.trace(" flash write ").size();
        QList<QPair<QByteArray, QByteArray>> settings;
        if (fault == "flash" && n > 0)
            settings = {{"KILL_AT_WRITE", QByteArray::number(n * stride)}};
        else if (fault != "flash")
            settings = {{"FILE_FAULT", n > 0 ? QByteArray::number(n) + ':' + fault : "0"}};
        const QStringList command =
            putBack ? QStringList{"restore", "--yes"} : QStringList{"update", image, "--yes"};
        const QByteArray output = runTool(command, settings, &exitCode);
        const QByteArray point = QByteArray::number(n) + ":\n" + output;
        if (n == 0) {
            points = fault == "flash"
                         ? (device.trace(" flash write ").size() - writtenBefore) / stride
                         : device.trace(" file change ").size();
            QVERIFY2(exitCode == 0 && points > 0, point.constData());
        }

        const StateFolder folder;
        FlashJournal journal = FlashJournal::load(folder);
        QVERIFY2(!journal.damaged(), point.constData());
        const QByteArray flash = device.flash();
        if (output.contains("safe to restart"))
            QVERIFY2(journal.isEmpty() && !output.contains("o not restart") &&
                         !output.contains("could not be updated") &&
                         (flash == former || flash == written),
                     point.constData());
        if (!journal.isEmpty()) {
            // It puts the pages back; or it finds that an update whose end could not be
            // recorded holds the flash whole, and nothing is left to put back.
            const QByteArray back = runTool({"restore", "--yes"}, {}, &exitCode);
            QVERIFY2(exitCode == 0 || back.contains("there is nothing to put back"),
                     (point + back).constData());
            QVERIFY2(exitCode != 0 || device.flash() == former, (point + back).constData());
            journal = FlashJournal::load(folder);
            // Under its lock it removed what a killed run left half saved.
            for (const StateFolder::Place place : {StateFolder::Top, StateFolder::Copies})
                QVERIFY2(folder.names(place).filter(QRegularExpression("^\\.")).isEmpty(),
                         point.constData());
        }
        QVERIFY2(journal.isEmpty(), point.constData());
        QVERIFY2(device.flash() == former || (!putBack && device.flash() == written),
                 point.constData());
    }
    qInfo("%d points", points);
}

QTEST_GUILESS_MAIN(TestCrashSweep)
#include "TestCrashSweep.moc"
