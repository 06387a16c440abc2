// An update must not be cut short from outside the window: logind is asked to hold off shutdown
// and sleep, and the quit signals wait for the end of the update.

#include "MainWindow.h"
#include "ModalAnswer.h"
#include "ShutdownInhibitor.h"
#include "SimulatedDevice.h"

#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>

#include <csignal>

class TestInterruption : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void inhibitorIsHeldForTheUpdate();
    void signalsWaitForTheEnd_data();
    void signalsWaitForTheEnd();

private:
    QStringList inhibitors();
    void startUpdate();

    QProcess bus;
    QProcess logind;
    bool logindRunning = false;
    SimulatedDevice *device = nullptr;
    MainWindow *window = nullptr;
};

// A private system bus with python-dbusmock's logind on it, before anything asks for the bus.
void TestInterruption::initTestCase()
{
    const QString daemon = QStandardPaths::findExecutable("dbus-daemon");
    if (daemon.isEmpty() || !QFile::exists("/usr/bin/python3"))
        return;
    QProcessEnvironment helpers = QProcessEnvironment::systemEnvironment();
    helpers.remove(QStringLiteral("LD_PRELOAD"));
    bus.setProcessEnvironment(helpers);
    bus.start(daemon, {"--session", "--nofork", "--print-address=1"});
    QVERIFY(bus.waitForReadyRead(10000));
    const QByteArray address = bus.readLine().trimmed();
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);

    helpers.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), QString::fromLatin1(address));
    logind.setProcessEnvironment(helpers);
    logind.start("/usr/bin/python3", {"-m", "dbusmock", "--template", "logind"});
    QVERIFY(logind.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QDBusConnection::systemBus().interface()->isServiceRegistered(
                                 QStringLiteral("org.freedesktop.login1")),
                             20000);
    logindRunning = true;
}

void TestInterruption::cleanupTestCase()
{
    logind.terminate();
    logind.waitForFinished();
    bus.terminate();
    bus.waitForFinished();
}

void TestInterruption::init()
{
    device = new SimulatedDevice;
    device->set("ERASE_US", "200000");
    window = new MainWindow;
    window->show();
}

void TestInterruption::cleanup()
{
    QTRY_VERIFY_WITH_TIMEOUT(window->findChild<QPushButton *>("startUpdateButton")->isEnabled(),
                             60000);
    delete window;
    delete device;
}

QStringList TestInterruption::inhibitors()
{
    const QDBusMessage reply = QDBusConnection::systemBus().call(
        QDBusMessage::createMethodCall("org.freedesktop.login1", "/org/freedesktop/login1",
                                       "org.freedesktop.login1.Manager", "ListInhibitors"));
    QStringList found;
    const QDBusArgument list = reply.arguments().value(0).value<QDBusArgument>();
    list.beginArray();
    while (!list.atEnd()) {
        QString what, who, why, mode;
        uint uid, pid;
        list.beginStructure();
        list >> what >> who >> why >> mode >> uid >> pid;
        list.endStructure();
        found << QStringList{what, who, why, mode}.join('|');
    }
    list.endArray();
    return found;
}

void TestInterruption::startUpdate()
{
    window->findChild<QLineEdit *>("filenameLineEdit")
        ->setText(device->makeImage({{"APP", 0, 0x100000, 0, componentData(300000)}}));
    ModalAnswer confirmation;
    answerNextModal(&confirmation, true);
    window->findChild<QPushButton *>("startUpdateButton")->click();
    QVERIFY(!window->findChild<QPushButton *>("startUpdateButton")->isEnabled());
}

void TestInterruption::inhibitorIsHeldForTheUpdate()
{
    if (!logindRunning)
        QSKIP("needs dbus-daemon and python3-dbusmock (scripts/install-deps.sh installs them)");
    QVERIFY(inhibitors().isEmpty());
    startUpdate();
    QCOMPARE(inhibitors(),
             QStringList{"shutdown:sleep|VORLAN Update Utility|Updating flash memory|block"});
    QVERIFY(window->findChild<ShutdownInhibitor *>("shutdownInhibitor")->isHeld());
    QTRY_VERIFY_WITH_TIMEOUT(window->findChild<QPushButton *>("startUpdateButton")->isEnabled(),
                             60000);
    QVERIFY(!window->findChild<ShutdownInhibitor *>("shutdownInhibitor")->isHeld());
    QTRY_VERIFY(inhibitors().isEmpty());
    QVERIFY(window->isVisible());
}

void TestInterruption::signalsWaitForTheEnd_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGHUP") << SIGHUP;
}

void TestInterruption::signalsWaitForTheEnd()
{
    QFETCH(int, signalNumber);
    startUpdate();
    raise(signalNumber);
    QTRY_COMPARE(window->statusBar()->currentMessage(),
                 QStringLiteral("The tool will quit when the update has finished."));
    QVERIFY(window->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), 60000);
    QCOMPARE(window->findChild<QLabel *>("statusLabel")->text(),
             QStringLiteral("Done updating. It is now safe to restart the computer."));
}

QTEST_MAIN(TestInterruption)
#include "TestInterruption.moc"
