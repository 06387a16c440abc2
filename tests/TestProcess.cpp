// The program as a user runs it: the real executable on an X server of its own, driven with the
// keyboard, with its signals, its output and its exit status.

#include "SimulatedDevice.h"
#include "XServer.h"

#include <QProcess>
#include <QtTest>

#include <csignal>

class TestProcess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void updateRunsToItsEnd_data();
    void updateRunsToItsEnd();
};

// Children inherit ignored signals; the tool must see them as a user's shell would give them.
void TestProcess::initTestCase()
{
    for (const int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGUSR1, SIGPWR})
        std::signal(number, SIG_DFL);
    if (!XServer::available())
        QSKIP("needs Xvfb and xdotool (scripts/install-deps.sh installs them)");
    // The tool runs on the test's X server, whose libraries keep a few blocks to the end:
    // under the leak checker that would change the exit status that these tests are about.
    qunsetenv("QT_QPA_PLATFORM");
    qputenv("ASAN_OPTIONS", qgetenv("ASAN_OPTIONS") + ":detect_leaks=0");
}

void TestProcess::updateRunsToItsEnd_data()
{
    QTest::addColumn<int>("interruption");    // a signal, or 0: the X server goes away
    QTest::addColumn<QString>("redirection"); // how the tool's standard error is given
    QTest::addColumn<QByteArray>("eraseFail");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("verdict"); // empty where nobody can read it
    // What power-failure daemons send, to a tool whose reader of stderr is gone at once.
    QTest::newRow("SIGPWR, nobody reading stderr")
        << int(SIGPWR) << "2> >(exit 0)" << QByteArray() << 0 << QString();
    // Started without stderr, its first line would go into the display connection.
    QTest::newRow("SIGQUIT, stderr closed")
        << int(SIGQUIT) << "2>&-" << QByteArray() << 0 << QString();
    QTest::newRow("SIGUSR1, then the erase fails")
        << int(SIGUSR1) << "" << QByteArray("0x100000:1") << 1
        << "Update failed at component KERN (2 of 2, at 0x100000).";
    QTest::newRow("display lost") << 0 << "" << QByteArray() << 0
                                  << "All 2 components were written and verified.";
}

// Nothing from outside cuts the update short: the tool quits only after it, by its verdict.
// Every process here is stopped when its QProcess goes, on every path.
void TestProcess::updateRunsToItsEnd()
{
    QFETCH(int, interruption);
    QFETCH(QString, redirection);
    QFETCH(QByteArray, eraseFail);
    QFETCH(QString, verdict);
    XServer server;
    QVERIFY2(server.start(), qPrintable(server.error()));
    qputenv("DISPLAY", server.display());
    SimulatedDevice device;
    device.set("ERASE_US", "200000");
    if (!eraseFail.isEmpty())
        device.set("ERASE_FAIL", eraseFail);
    const QList<ImageComponent> components{{"BOOT", 0, 0x40000, 0, componentData(70000)},
                                           {"KERN", 0, 0x100000, 0, componentData(200000, 2)}};
    const QString path = device.makeImage(components);
    QProcess tool;
    tool.start("/bin/bash", {"-c", "exec \"$@\" " + redirection, "bash", VORLAN_UPDATE_BINARY});

    QVERIFY2(server.xdo({"search", "--sync", "--onlyvisible", "--name", "VORLAN Update Utility",
                         "windowfocus", "--sync", "type", path}),
             "the window did not come up");
    QVERIFY(server.xdo({"key", "Tab", "Tab", "Tab", "space"}));
    // The confirmation takes keys once the keyboard has been quiet for half a second.
    QVERIFY(server.xdo({"search", "--sync", "--onlyvisible", "--name", "Image info", "windowfocus",
                        "--sync", "sleep", "0.8", "key", "Return"}));
    QTRY_VERIFY_WITH_TIMEOUT(!device.trace(QStringLiteral("FLASH_ERASE")).isEmpty(), 20000);
    if (interruption)
        kill(pid_t(tool.processId()), interruption);
    else
        server.kill();

    QVERIFY(tool.waitForFinished(60000));
    const QString log = QString::fromLocal8Bit(tool.readAllStandardError());
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QTEST(tool.exitCode(), "exitCode");
    if (!verdict.isEmpty())
        QVERIFY2(log.contains(verdict), qPrintable(log.right(500)));
    const QByteArray flash = device.flash();
    QCOMPARE(flash.mid(0x40000, 70000), components[0].data);
    QCOMPARE(flash.mid(0x100000, 200000) == components[1].data, eraseFail.isEmpty());
}

QTEST_GUILESS_MAIN(TestProcess)
#include "TestProcess.moc"
