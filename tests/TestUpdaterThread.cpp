// The worker's flash operations, called one at a time on the simulated flash node.

#include "SimulatedDevice.h"
#include "UpdaterThread.h"
#include "VorlanDriver.h"
#include "WorkerRecorder.h"

#include <QtEndian>
#include <QtTest>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

QByteArray word(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian<quint32>(value, bytes.data());
    return bytes;
}

} // namespace

class TestUpdaterThread : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void reportTruncatesAndEmitsCurrentFirst();
    void eraseCoversEveryPageOnce_data();
    void eraseCoversEveryPageOnce();
    void eraseStopsAtARefusedPage();
    void writeUsesWholeBlocksThenTheRest_data();
    void writeUsesWholeBlocksThenTheRest();
    void bytesPastTheImageAreWrittenErased();
    void matchingComponentNeedsOnePass();
    void repairs_data();
    void repairs();
    void compareReportsEveryHundredthWord();
    void unreadableFlashIsNeverTakenAsCorrect();
    void pageThatNeverVerifiesIsGivenUp();

private:
    void reopenFlash();
    // Writes a one-block image whose data is the given bytes and opens it for the worker.
    void useImage(const QByteArray &data);
    void prepareFlash(quint32 address, const QByteArray &bytes);

    SimulatedDevice *device = nullptr;
    UpdaterThread *worker = nullptr;
    WorkerRecorder *recorder = nullptr;
    QFile image;
    int fd = -1;
};

void TestUpdaterThread::init()
{
    device = new SimulatedDevice;
    worker = new UpdaterThread;
    recorder = new WorkerRecorder(worker);
    fd = -1;
    reopenFlash();
}

// Opens the flash node afresh, so that the simulator reads its settings again, and unlocks it.
void TestUpdaterThread::reopenFlash()
{
    if (fd >= 0)
        close(fd);
    fd = open(flashNodePath, O_RDWR);
    QVERIFY(fd >= 0);
    QVERIFY(ioctl(fd, IOCTL_FLASH_UNLOCK, "mindful!!") >= 0);
    device->clearTrace();
}

void TestUpdaterThread::cleanup()
{
    close(fd);
    image.close();
    delete recorder;
    delete worker;
    delete device;
}

void TestUpdaterThread::useImage(const QByteArray &data)
{
    image.close();
    image.setFileName(device->makeImage({{"T", 0, 0, 0, data}}));
    QVERIFY(image.open(QIODevice::ReadOnly));
}

void TestUpdaterThread::prepareFlash(quint32 address, const QByteArray &bytes)
{
    lseek(fd, address, SEEK_SET);
    QCOMPARE(write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
    device->clearTrace();
}

void TestUpdaterThread::reportTruncatesAndEmitsCurrentFirst()
{
    worker->reportProgress(0, 0.0f);
    worker->reportProgress(3, 0.999f);
    QCOMPARE(recorder->events(), QStringList({"current:0", "total:0", "current:99", "total:0"}));
}

void TestUpdaterThread::eraseCoversEveryPageOnce_data()
{
    QTest::addColumn<quint32>("address");
    QTest::addColumn<quint32>("length");
    QTest::addColumn<QStringList>("pages");
    QTest::addColumn<QList<int>>("current");
    QTest::newRow("nothing") << 0x40000u << 0u << QStringList() << QList<int>{100};
    QTest::newRow("less than a page")
        << 0x40000u << 1000u << QStringList{"40000"} << QList<int>{0, 100};
    QTest::newRow("a page and a byte")
        << 0x40000u << 0x20001u << QStringList{"40000", "60000"} << QList<int>{0, 50, 100};
    // 2^24 + 1 bytes in single precision is 2^24: the page count must not come from a float.
    QStringList manyPages;
    for (int k = 0; k < 129; ++k)
        manyPages << QString::number(k * 0x20000, 16);
    QTest::newRow("just over 16 MiB") << 0u << 0x1000001u << manyPages << QList<int>();
}

void TestUpdaterThread::eraseCoversEveryPageOnce()
{
    QFETCH(quint32, address);
    QFETCH(quint32, length);
    QFETCH(QStringList, pages);
    QFETCH(QList<int>, current);
    if (length > 0x1000000) {
        device->set("FLASH_SIZE", "0x2000000");
        device->set("TRACE", "");
        QFile::remove(device->path("flash.bin"));
        reopenFlash();
    }
    QCOMPARE(worker->eraseFlash(fd, address, length), 0);

    QStringList announced;
    for (const QString &text : recorder->statusTexts())
        announced << text.section(QStringLiteral("Erasing page at 0x"), 1);
    QCOMPARE(announced, pages);
    if (!current.isEmpty())
        QCOMPARE(recorder->values("current"), current);
    QCOMPARE(recorder->values("current").last(), 100);
}

void TestUpdaterThread::eraseStopsAtARefusedPage()
{
    device->set("ERASE_FAIL", "0x40000:1");
    reopenFlash();
    QVERIFY(worker->eraseFlash(fd, 0x40000, 0x30000) < 0);
    QCOMPARE(recorder->statusTexts(),
             QStringList({"Erasing page at 0x40000", "Error erasing page at 0x40000"}));
    QCOMPARE(recorder->values("current"), QList<int>{0});
    QCOMPARE(device->traceMatching("FLASH_ERASE 0x60000").size(), 0);
}

void TestUpdaterThread::writeUsesWholeBlocksThenTheRest_data()
{
    QTest::addColumn<quint32>("length");
    QTest::addColumn<QStringList>("writes");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("nothing") << 0u << QStringList{"flash write 0x40000 0 = 0"} << QStringList();
    QTest::newRow("less than a block")
        << 1000u << QStringList{"flash write 0x40000 1000 = 1000"} << QStringList();
    QTest::newRow("two blocks") << 2048u
                                << QStringList{"flash write 0x40000 1024 = 1024",
                                               "flash write 0x40400 1024 = 1024",
                                               "flash write 0x40800 0 = 0"}
                                << QStringList{"Writing to Flash memory at 0x40000",
                                               "Writing to Flash memory at 0x40400"};
}

void TestUpdaterThread::writeUsesWholeBlocksThenTheRest()
{
    QFETCH(quint32, length);
    QFETCH(QStringList, writes);
    QFETCH(QStringList, texts);
    const QByteArray data = componentData(4096);
    useImage(data);
    DebugLog log;
    QCOMPARE(worker->writeToFlash(fd, image, 0, 0x40000, length), 0);
    QCOMPARE(device->traceMatching("flash write"), writes);
    QCOMPARE(recorder->statusTexts(), texts);
    QCOMPARE(recorder->events().mid(0, 2), QStringList({"current:0", "total:0"}));
    QCOMPARE(device->flash(0x40000, int(length)), data.left(int(length)));
    QCOMPARE(log.lines().first(),
             "int UpdaterThread::writeToFlash(int, QFile&, u_int32_t, u_int32_t, u_int32_t)");
}

void TestUpdaterThread::bytesPastTheImageAreWrittenErased()
{
    // A component's length counts its header, so its last 32 bytes lie past the end of the file.
    const QByteArray data = componentData(1500);
    useImage(data);
    QCOMPARE(worker->writeToFlash(fd, image, 0, 0x40000, 1532), 0);
    QCOMPARE(device->flash(0x40000, 1532), data + QByteArray(32, char(0xFF)));
}

void TestUpdaterThread::matchingComponentNeedsOnePass()
{
    const QByteArray data = componentData(3000);
    useImage(data);
    prepareFlash(0x40000, data);
    DebugLog log;
    QCOMPARE(worker->verifyAndRepair(fd, image, 0, 0x40000, 3000), 0);
    QCOMPARE(log.lines(), QStringList{"int UpdaterThread::verifyAndRepair(int, QFile&, u_int32_t, "
                                      "u_int32_t, u_int32_t)"});
    QCOMPARE(recorder->statusTexts(), QStringList({"Reading from Flash memory at 0x40000",
                                                   "Reading from Flash memory at 0x40400",
                                                   "Verifying Flash memory content."}));
    QCOMPARE(device->traceMatching("flash read"),
             QStringList({"flash read 0x40000 1024 = 1024", "flash read 0x40400 1024 = 1024",
                          "flash read 0x40800 952 = 952"}));
}

void TestUpdaterThread::repairs_data()
{
    QTest::addColumn<quint32>("address");
    QTest::addColumn<quint32>("offset");
    QTest::addColumn<quint32>("flashWord");
    QTest::addColumn<QByteArray>("weakBits");
    QTest::addColumn<QStringList>("repairTrace");
    QTest::addColumn<int>("passes");

    const QStringList mismatch{"-----------------------------------",
                               "\"Mismatch between buffers at 0x8\"", "\"12345678 != %1\"",
                               "Trying to repair things..."};
    const QStringList wordRepair{"\"Check: %2\""};
    const QStringList pageRepair{"**************************************",
                                 "\"Erasing page at 0x%3\"", "\"Writing Flash page at 0x0\"",
                                 "-----------------------------------\n\n"};
    QTest::newRow("erased word: rewritten in place")
        << 0x40000u << 8u << 0xFFFFFFFFu << QByteArray() << mismatch + wordRepair << 1;
    QTest::newRow("missing 1 bit: page rewritten")
        << 0x40000u << 8u << 0x12345670u << QByteArray() << mismatch + pageRepair << 2;
    QTest::newRow("rewrite reads back wrong: page rewritten")
        << 0x40000u << 8u << 0xFFFFFFFFu << QByteArray("0x40008:0x01")
        << mismatch + wordRepair + pageRepair << 2;
}

void TestUpdaterThread::repairs()
{
    QFETCH(quint32, address);
    QFETCH(quint32, offset);
    QFETCH(quint32, flashWord);
    QFETCH(QByteArray, weakBits);
    QFETCH(QStringList, repairTrace);
    QFETCH(int, passes);

    QByteArray data = componentData(1000);
    data.replace(int(offset), 4, word(0x12345678));
    QByteArray onFlash = data;
    onFlash.replace(int(offset), 4, word(flashWord));
    useImage(data);
    device->set("WEAK_BITS", weakBits);
    reopenFlash();
    prepareFlash(address, onFlash);

    DebugLog log;
    QCOMPARE(worker->verifyAndRepair(fd, image, 0, address, 1000), 0);
    QCOMPARE(device->flash(address, 1000), data);

    const quint32 checked = weakBits.isEmpty() ? 0x12345678u : 0x12345679u;
    QStringList expected;
    for (QString line : repairTrace)
        expected << line.replace("%1", QString::number(flashWord, 16))
                        .replace("%2", QString::number(checked, 16))
                        .replace("%3", QString::number(address, 16));
    QCOMPARE(log.lines().mid(1), expected);
    QCOMPARE(recorder->statusTexts().count("Verifying Flash memory content."), passes);
    if (passes == 1) {
        QVERIFY(recorder->statusTexts().contains("Writing to Flash memory at 0x8"));
    } else {
        QVERIFY(recorder->statusTexts().contains("Erasing page at 0x40000"));
        QVERIFY(recorder->statusTexts().contains("Writing to Flash memory at 0x40000"));
    }
}

void TestUpdaterThread::compareReportsEveryHundredthWord()
{
    // 250 words: compare reports at words 0, 100 and 200, and none at the end.
    const QByteArray data = componentData(1000);
    useImage(data);
    prepareFlash(0x40000, data);
    QCOMPARE(worker->verifyAndRepair(fd, image, 0, 0x40000, 1000), 0);
    const QStringList events = recorder->events();
    const int compare = events.indexOf("status:Verifying Flash memory content.");
    QCOMPARE(events.mid(compare + 1), QStringList({"current:0", "total:0", "current:40", "total:0",
                                                   "current:80", "total:0"}));
}

void TestUpdaterThread::unreadableFlashIsNeverTakenAsCorrect()
{
    // The image is erased flash content; a short read must not let unread bytes pass for it.
    const QByteArray data(4096, char(0xFF));
    useImage(data);
    prepareFlash(0x40000, QByteArray(4096, '\0'));
    device->set("SHORT_READ", "3");
    reopenFlash();
    QCOMPARE(worker->verifyAndRepair(fd, image, 0, 0x40000, 4096), 0);
    QCOMPARE(device->flash(0x40000, 4096), data);
}

void TestUpdaterThread::pageThatNeverVerifiesIsGivenUp()
{
    const QByteArray data(2048, char(0xFF));
    useImage(data);
    device->set("STUCK_BITS", "0x60010:0x01");
    reopenFlash();
    ioctl(fd, IOCTL_FLASH_ERASE, 0x60000u);
    QVERIFY(worker->verifyAndRepair(fd, image, 0, 0x60000, 2048) < 0);
    QCOMPARE(recorder->statusTexts().last(),
             QStringLiteral("Error verifying Flash memory at 0x60000"));
    QCOMPARE(device->traceMatching("FLASH_ERASE").size(), 1 + 3);
}

QTEST_GUILESS_MAIN(TestUpdaterThread)
#include "TestUpdaterThread.moc"
