#include "InstalledVersions.h"
#include "SimulatedDevice.h"

#include <QtTest>

class TestInstalledVersions : public QObject
{
    Q_OBJECT

private slots:
    void answersAreShownAsText_data();
    void answersAreShownAsText();
    void statusFMeansFixedValuesAfterOneRequest();
    void failureLeavesTheTextsAlone_data();
    void failureLeavesTheTextsAlone();
    void nullOutputsAreSkipped();
};

void TestInstalledVersions::answersAreShownAsText_data()
{
    QTest::addColumn<QByteArray>("software");
    QTest::addColumn<QByteArray>("timestamp");
    QTest::addColumn<QByteArray>("pid");
    QTest::addColumn<QString>("softwareText");
    QTest::addColumn<QString>("timestampText");
    QTest::addColumn<QString>("pidText");
    QTest::newRow("lowest byte first") << QByteArray("0x04030201") << QByteArray("1406615411")
                                       << QByteArray("0x00090000") << "1.2.34"
                                       << "1406615411"
                                       << "0.0.90";
    QTest::newRow("zero") << QByteArray("0") << QByteArray("0") << QByteArray("0") << "0.0.00"
                          << "0"
                          << "0.0.00";
    QTest::newRow("all bits set") << QByteArray("0xFFFFFFFF") << QByteArray("0xFFFFFFFF")
                                  << QByteArray("0x0A000B0C") << "255.255.255255"
                                  << "4294967295"
                                  << "12.11.010";
}

void TestInstalledVersions::answersAreShownAsText()
{
    QFETCH(QByteArray, software);
    QFETCH(QByteArray, timestamp);
    QFETCH(QByteArray, pid);
    SimulatedDevice device;
    device.set("SOFTWARE", software);
    device.set("TIMESTAMP", timestamp);
    device.set("PID", pid);
    QString hw, sw, pidText;
    QCOMPARE(readInstalledVersions(&hw, &sw, &pidText), 0);
    QTEST(sw, "softwareText");
    QTEST(hw, "timestampText");
    QTEST(pidText, "pidText");
    QCOMPARE(device.trace(), QStringList({"mailbox open", "mailbox ioctl MAILBOX 0x101 = 0",
                                          "mailbox ioctl MAILBOX 0x201 = 0",
                                          "mailbox ioctl MAILBOX 0x301 = 0", "mailbox close"}));
}

void TestInstalledVersions::statusFMeansFixedValuesAfterOneRequest()
{
    SimulatedDevice device;
    device.set("MAILBOX_STATUS", "0xF");
    device.set("SOFTWARE", "0x01020304");
    QString hw, sw, pid;
    QCOMPARE(readInstalledVersions(&hw, &sw, &pid), 0);
    QCOMPARE(hw, QStringLiteral("1406615411"));
    QCOMPARE(sw, QStringLiteral("0.0.90"));
    QCOMPARE(pid, QStringLiteral("0.0.90"));
    QCOMPARE(device.traceMatching("MAILBOX").size(), 1);
}

void TestInstalledVersions::failureLeavesTheTextsAlone_data()
{
    QTest::addColumn<QByteArray>("setting");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("requests");
    QTest::addColumn<bool>("opened");
    QTest::newRow("node missing") << QByteArray("MAILBOX") << QByteArray("missing") << 0 << false;
    QTest::newRow("first request fails")
        << QByteArray("MAILBOX_FAIL") << QByteArray("1") << 1 << true;
    QTest::newRow("second request fails")
        << QByteArray("MAILBOX_FAIL") << QByteArray("2") << 2 << true;
    QTest::newRow("third request fails")
        << QByteArray("MAILBOX_FAIL") << QByteArray("3") << 3 << true;
}

void TestInstalledVersions::failureLeavesTheTextsAlone()
{
    QFETCH(QByteArray, setting);
    QFETCH(QByteArray, value);
    QFETCH(int, requests);
    QFETCH(bool, opened);
    SimulatedDevice device;
    device.set(setting.constData(), value);
    QString hw = "kept", sw = "kept", pid = "kept";
    if (!opened)
        QTest::ignoreMessage(QtDebugMsg, "Could not open file");
    const int result = readInstalledVersions(&hw, &sw, &pid);
    QVERIFY(result < 0);
    if (!opened)
        QCOMPARE(result, -1);
    QCOMPARE(hw + sw + pid, QStringLiteral("keptkeptkept"));
    QCOMPARE(device.traceMatching("MAILBOX").size(), requests);
    QCOMPARE(device.traceMatching("mailbox close").size(), opened ? 1 : 0);
}

void TestInstalledVersions::nullOutputsAreSkipped()
{
    SimulatedDevice device;
    QString sw;
    QCOMPARE(readInstalledVersions(nullptr, &sw, nullptr), 0);
    QCOMPARE(sw, QStringLiteral("1.3.05"));
}

QTEST_GUILESS_MAIN(TestInstalledVersions)
#include "TestInstalledVersions.moc"
