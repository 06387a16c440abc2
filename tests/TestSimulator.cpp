// The driver simulator is what every other test stands on: its flash must behave like NOR flash
// and its faults must hit exactly where they are asked for.

#include "SimulatedDevice.h"
#include "VorlanDriver.h"

#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

class TestSimulator : public QObject
{
    Q_OBJECT

private slots:
    void writesOnlyClearBits();
    void eraseSetsThePageThatHoldsTheAddress();
    void changesAreRefusedUntilUnlocked_data();
    void changesAreRefusedUntilUnlocked();
    void refusesTheNthEraseOfAPage();
    void stuckBitsSurviveAnErase();
    void weakBitsAreLostOnTheFirstProgrammingOnly();
    void shortTransfers_data();
    void shortTransfers();
    void otherFilesAreUntouched();

private:
    int openUnlockedFlash();
};

int TestSimulator::openUnlockedFlash()
{
    const int fd = open(flashNodePath, O_RDWR);
    if (fd >= 0 && ioctl(fd, IOCTL_FLASH_UNLOCK, "mindful!!") < 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void TestSimulator::writesOnlyClearBits()
{
    SimulatedDevice device;
    const int fd = openUnlockedFlash();
    QVERIFY(fd >= 0);
    QCOMPARE(lseek(fd, 0x1000, SEEK_SET), off_t(0x1000));
    QCOMPARE(write(fd, "\xF0\x0F", 2), ssize_t(2));
    QCOMPARE(lseek(fd, 0x1000, SEEK_SET), off_t(0x1000));
    QCOMPARE(write(fd, "\x3C\x3C", 2), ssize_t(2));
    char back[3];
    lseek(fd, 0x0FFF, SEEK_SET);
    QCOMPARE(read(fd, back, 3), ssize_t(3));
    QCOMPARE(QByteArray(back, 3), QByteArray("\xFF\x30\x0C", 3));
    close(fd);
    QCOMPARE(device.flash(0x1000, 2), QByteArray("\x30\x0C", 2));
    QCOMPARE(device.trace().first(), QStringLiteral("flash open"));
    QCOMPARE(device.trace().last(), QStringLiteral("flash close"));
}

void TestSimulator::eraseSetsThePageThatHoldsTheAddress()
{
    SimulatedDevice device;
    device.writeFlash(0x1FFFF, QByteArray(0x20002, '\0'));
    const int fd = openUnlockedFlash();
    QCOMPARE(ioctl(fd, IOCTL_FLASH_ERASE, 0x20010u), 0);
    close(fd);
    QCOMPARE(device.flash(0x1FFFF, 1), QByteArray(1, '\0'));
    QCOMPARE(device.flash(0x20000, 0x20000), QByteArray(0x20000, char(0xFF)));
    QCOMPARE(device.flash(0x40000, 1), QByteArray(1, '\0'));
}

void TestSimulator::changesAreRefusedUntilUnlocked_data()
{
    QTest::addColumn<QByteArray>("token");
    QTest::addColumn<QByteArray>("unlockFault");
    QTest::newRow("no unlock") << QByteArray() << QByteArray();
    QTest::newRow("wrong token") << QByteArray("mindful!") << QByteArray();
    QTest::newRow("unlock refused") << QByteArray("mindful!!") << QByteArray("refuse");
}

void TestSimulator::changesAreRefusedUntilUnlocked()
{
    QFETCH(QByteArray, token);
    QFETCH(QByteArray, unlockFault);
    SimulatedDevice device;
    device.set("UNLOCK", unlockFault);
    device.writeFlash(0, QByteArray(4, '\x55'));
    const int fd = open(flashNodePath, O_RDWR);
    QVERIFY(fd >= 0);
    if (!token.isEmpty())
        QVERIFY(ioctl(fd, IOCTL_FLASH_UNLOCK, token.constData()) < 0);
    errno = 0;
    QVERIFY(ioctl(fd, IOCTL_FLASH_ERASE, 0u) < 0);
    QVERIFY(errno != 0);
    QVERIFY(write(fd, "\0\0\0\0", 4) < 0);
    close(fd);
    QCOMPARE(device.flash(0, 4), QByteArray(4, '\x55'));
}

void TestSimulator::refusesTheNthEraseOfAPage()
{
    SimulatedDevice device;
    device.set("ERASE_FAIL", "0x40000:2");
    const int fd = openUnlockedFlash();
    QCOMPARE(ioctl(fd, IOCTL_FLASH_ERASE, 0x40000u), 0);
    QCOMPARE(ioctl(fd, IOCTL_FLASH_ERASE, 0x60000u), 0);
    QVERIFY(ioctl(fd, IOCTL_FLASH_ERASE, 0x40100u) < 0);
    QCOMPARE(ioctl(fd, IOCTL_FLASH_ERASE, 0x40000u), 0);
    close(fd);
    QCOMPARE(device.traceMatching("FLASH_ERASE").size(), 4);
    QVERIFY(device.trace().contains("flash ioctl FLASH_ERASE 0x40100 = -1 injected"));
}

void TestSimulator::stuckBitsSurviveAnErase()
{
    SimulatedDevice device;
    device.set("STUCK_BITS", "0x20005:0x81");
    const int fd = openUnlockedFlash();
    QCOMPARE(ioctl(fd, IOCTL_FLASH_ERASE, 0x20000u), 0);
    close(fd);
    QCOMPARE(device.flash(0x20004, 3), QByteArray("\xFF\x7E\xFF", 3));
}

void TestSimulator::weakBitsAreLostOnTheFirstProgrammingOnly()
{
    SimulatedDevice device;
    device.set("WEAK_BITS", "0x101:0x0F");
    const int fd = openUnlockedFlash();
    lseek(fd, 0x100, SEEK_SET);
    QCOMPARE(write(fd, "\x00\x00", 2), ssize_t(2));
    QCOMPARE(device.flash(0x100, 2), QByteArray("\x00\x0F", 2));
    lseek(fd, 0x101, SEEK_SET);
    QCOMPARE(write(fd, "\x00", 1), ssize_t(1));
    close(fd);
    QCOMPARE(device.flash(0x100, 2), QByteArray(2, '\0'));
}

void TestSimulator::shortTransfers_data()
{
    QTest::addColumn<QByteArray>("setting");
    QTest::addColumn<bool>("reading");
    QTest::newRow("second read") << QByteArray("SHORT_READ") << true;
    QTest::newRow("second write") << QByteArray("SHORT_WRITE") << false;
}

void TestSimulator::shortTransfers()
{
    QFETCH(QByteArray, setting);
    QFETCH(bool, reading);
    SimulatedDevice device;
    device.set(setting.constData(), "2");
    const int fd = openUnlockedFlash();
    char buffer[1024] = {};
    const auto transfer = [&] {
        return reading ? read(fd, buffer, sizeof buffer) : write(fd, buffer, sizeof buffer);
    };
    QCOMPARE(transfer(), ssize_t(1024));
    QCOMPARE(transfer(), ssize_t(512));
    QCOMPARE(transfer(), ssize_t(1024));
    QCOMPARE(lseek(fd, 0, SEEK_CUR), off_t(2560));
    close(fd);
}

void TestSimulator::otherFilesAreUntouched()
{
    SimulatedDevice device;
    const QByteArray path = QFile::encodeName(device.path("plain.txt"));
    const int fd = open(path.constData(), O_RDWR | O_CREAT, 0600);
    QVERIFY(fd >= 0);
    QCOMPARE(write(fd, "hello", 5), ssize_t(5));
    QCOMPARE(lseek(fd, 1, SEEK_SET), off_t(1));
    char back[4];
    QCOMPARE(read(fd, back, 4), ssize_t(4));
    QCOMPARE(close(fd), 0);
    QCOMPARE(QByteArray(back, 4), QByteArray("ello"));
    QVERIFY(device.trace().isEmpty());
}

QTEST_GUILESS_MAIN(TestSimulator)
#include "TestSimulator.moc"
