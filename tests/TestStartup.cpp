// The program as a user starts it: the real executable, its command line and its exit.

#include "SimulatedDevice.h"

#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <csignal>

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void forceOption_data();
    void forceOption();
    void withoutTheDriver_data();
    void withoutTheDriver();
    void signalsEndAnIdleTool_data();
    void signalsEndAnIdleTool();

private:
    QProcessEnvironment headless() const;
};

QProcessEnvironment TestStartup::headless() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    return environment;
}

void TestStartup::forceOption_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("forced");
    QTest::newRow("none") << QStringList() << false;
    QTest::newRow("-f") << QStringList{"-f"} << true;
    QTest::newRow("--force") << QStringList{"--force"} << true;
    QTest::newRow("-F") << QStringList{"-F"} << false;
    QTest::newRow("--Force") << QStringList{"--Force"} << false;
    QTest::newRow("-force") << QStringList{"-force"} << false;
    QTest::newRow("---force") << QStringList{"---force"} << false;
    QTest::newRow("trailing blank") << QStringList{"--force "} << false;
    QTest::newRow("with a value") << QStringList{"-f=1"} << false;
    QTest::newRow("second place") << QStringList{"-style", "fusion", "-f"} << false;
    QTest::newRow("more after it") << QStringList{"-f", "-style", "fusion"} << true;
}

void TestStartup::forceOption()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, forced);
    SimulatedDevice device;
    QProcess tool;
    // Without a display the tool only starts when Qt is handed "-platform offscreen".
    QProcessEnvironment environment = headless();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    tool.setProcessEnvironment(environment);
    tool.start(VORLAN_UPDATE_BINARY, arguments + QStringList{"-platform", "offscreen"});
    QVERIFY(tool.waitForStarted());
    // The flag is decided before the window asks the mailbox for the installed versions.
    QTRY_VERIFY_WITH_TIMEOUT(device.trace().contains("mailbox close"), 20000);
    QTest::qWait(200);
    QCOMPARE(tool.state(), QProcess::Running);
    tool.kill();
    tool.waitForFinished();
    const QString log = QString::fromLocal8Bit(tool.readAllStandardError());
    QCOMPARE(log.count(QStringLiteral("openWithoutDriver: ON")), forced ? 1 : 0);
}

void TestStartup::withoutTheDriver_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("staysOpen");
    QTest::newRow("not forced") << QStringList() << false;
    QTest::newRow("forced") << QStringList{"-f"} << true;
}

// A real display and a keyboard: the critical message blocks until somebody acknowledges it.
void TestStartup::withoutTheDriver()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, staysOpen);
    const QString xvfb = QStandardPaths::findExecutable("Xvfb");
    const QString xdotool = QStandardPaths::findExecutable("xdotool");
    if (xvfb.isEmpty() || xdotool.isEmpty())
        QSKIP("needs Xvfb and xdotool (scripts/install-deps.sh installs them)");

    // The display and the keyboard are not ours: they run without the preloaded libraries.
    QProcessEnvironment helpers = QProcessEnvironment::systemEnvironment();
    helpers.remove(QStringLiteral("LD_PRELOAD"));
    QProcess server;
    server.setProcessEnvironment(helpers);
    server.start(xvfb, {"-displayfd", "1", "-screen", "0", "800x600x24", "-nolisten", "tcp"});
    QVERIFY(server.waitForReadyRead(10000));
    const QString display = QLatin1Char(':') + QString::fromLatin1(server.readLine().trimmed());

    SimulatedDevice device;
    device.set("MAILBOX", "missing");
    QProcessEnvironment environment = headless();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.insert(QStringLiteral("DISPLAY"), display);
    // On a real display Qt's X11 and D-Bus libraries keep a few blocks to the end; under the
    // leak checker that would change the exit status this test is about.
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       environment.value(QStringLiteral("ASAN_OPTIONS")) + ":detect_leaks=0");
    QProcess tool;
    tool.setProcessEnvironment(environment);
    tool.start(VORLAN_UPDATE_BINARY, arguments);
    QVERIFY(tool.waitForStarted());

    // Acknowledge the message with the keyboard, as a user would.
    helpers.insert(QStringLiteral("DISPLAY"), display);
    QString box;
    const auto xdo = [&](const QStringList &xdoArguments) {
        QProcess run;
        run.setProcessEnvironment(helpers);
        run.start(xdotool, xdoArguments);
        run.waitForFinished(20000);
        box = QString::fromLatin1(run.readAllStandardOutput()).section('\n', 0, 0);
        return run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0;
    };
    QVERIFY(xdo({"search", "--sync", "--name", "Cannot open file"}));
    QVERIFY(xdo({"windowfocus", "--sync", box}));
    QVERIFY(xdo({"key", "Return"}));

    if (staysOpen) {
        QVERIFY(!tool.waitForFinished(1500));
        tool.kill();
        tool.waitForFinished();
    } else {
        QVERIFY(tool.waitForFinished(10000));
        QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
        QVERIFY2(tool.exitCode() == 0, tool.readAllStandardError().constData());
    }
    server.terminate();
    server.waitForFinished();
}

void TestStartup::signalsEndAnIdleTool_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGHUP") << SIGHUP;
}

// Without an update running, the quit signals act as they always do.
void TestStartup::signalsEndAnIdleTool()
{
    QFETCH(int, signalNumber);
    SimulatedDevice device;
    QProcess tool;
    tool.setProcessEnvironment(headless());
    tool.start(VORLAN_UPDATE_BINARY, QStringList());
    QVERIFY(tool.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(device.trace().contains("mailbox close"), 20000);
    kill(pid_t(tool.processId()), signalNumber);
    QVERIFY(tool.waitForFinished(10000));
    QCOMPARE(tool.exitStatus(), QProcess::CrashExit);
}

QTEST_GUILESS_MAIN(TestStartup)
#include "TestStartup.moc"
