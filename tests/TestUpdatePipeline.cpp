// Whole updates run as the window runs them: the worker in its own QThread, on the simulated
// flash, with the image packed into a real file.

#include "SimulatedDevice.h"
#include "UpdaterThread.h"
#include "WorkerRecorder.h"

#include <QtTest>

namespace {

const QString done = QStringLiteral("Done updating. It is now safe to restart the computer.");

} // namespace

class TestUpdatePipeline : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void updatesEveryComponent();
    void singleComponentProgress();
    void sharesFollowComponentSizes();
    void statusTextsOfAComponent();
    void elevenComponents();
    void failures_data();
    void failures();
    void unusableImagesLeaveTheFlashAlone_data();
    void unusableImagesLeaveTheFlashAlone();
    void componentsMustNotSharePages_data();
    void componentsMustNotSharePages();

private:
    void update(const QString &imagePath) { recorder = runUpdate(imagePath); }
    bool flashHoldsImage(const QList<ImageComponent> &components, const QString &imagePath);

    SimulatedDevice *device = nullptr;
    std::unique_ptr<WorkerRecorder> recorder;
};

void TestUpdatePipeline::init()
{
    device = new SimulatedDevice;
}

void TestUpdatePipeline::cleanup()
{
    recorder.reset();
    delete device;
}

bool TestUpdatePipeline::flashHoldsImage(const QList<ImageComponent> &components,
                                         const QString &imagePath)
{
    for (int i = 0; i < components.size(); ++i) {
        if (!device->holdsComponent(imagePath, components, i))
            return false;
    }
    return true;
}

void TestUpdatePipeline::updatesEveryComponent()
{
    const QList<ImageComponent> components{
        {"BOOT", 0x01000000, 0x40000, 1, componentData(3 * 1024 * 1024 + 100, 1)},
        {"APP", 0x02000000, 0x400000, 2, componentData(70000, 2)},
        {"CFG", 0x03000000, 0x600000, 3, componentData(4096, 3)}};
    device->writeFlash(0x400000, QByteArray(0x40000, '\0'));
    const QString path = device->makeImage(components);
    update(path);

    QCOMPARE(recorder->finishedCount(), 1);
    QCOMPARE(recorder->statusTexts().last(), done);
    QVERIFY(flashHoldsImage(components, path));
    QCOMPARE(recorder->values("total").last(), 100);
    QCOMPARE(recorder->events().last(), QStringLiteral("finished"));
    QCOMPARE(device->trace().last(), QStringLiteral("flash close"));
    // Each component's range is erased twice before anything is written to it.
    QCOMPARE(device->traceMatching("FLASH_ERASE 0x40000 ").size(), 2);
}

void TestUpdatePipeline::singleComponentProgress()
{
    // 10000 words: the compare stage reports at word 9900, a fraction of 0.99.
    update(device->makeImage({{"ONE", 0, 0x20000, 0, componentData(40000 - 32)}}));
    const QList<int> totals = recorder->values("total");
    // Start, first erase, its end, second erase, its end, the write stage's start and block 0.
    QCOMPARE(totals.mid(0, 7), QList<int>({0, 0, 5, 0, 5, 5, 5}));
    QVERIFY(totals.contains(93));
    QVERIFY(totals.contains(97));
    QCOMPARE(totals.last(), 100);
    // The write stage starts at 5 and the read-back at 93: no closing 1.0 of the write.
    const QStringList events = recorder->events();
    const int readBack = events.indexOf("status:Reading from Flash memory at 0x20000");
    QCOMPARE(events.mid(readBack - 2, 2), QStringList({"current:0", "total:93"}));
    const int compare = events.indexOf("status:Verifying Flash memory content.");
    QCOMPARE(events.mid(compare + 1, 2), QStringList({"current:0", "total:97"}));
    QVERIFY(events.join(',').contains("current:99,total:99,status:Done"));
}

void TestUpdatePipeline::sharesFollowComponentSizes()
{
    // Sizes 0x10000 and 0x30000 give the shares 0.25 and 0.75.
    update(device->makeImage({{"A", 0, 0x40000, 0, componentData(0x10000 - 32)},
                              {"B", 0, 0x80000, 0, componentData(0x30000 - 64)}}));
    const QStringList events = recorder->events();
    const int second = events.lastIndexOf("status:Started erasing Flash memory...");
    QCOMPARE(events.mid(second + 1, 2), QStringList({"current:0", "total:25"}));

    // Two halves: the middle of the second write stage is ((0.05 + 0.44) * 0.5 + 0.5) = 74.5%.
    update(device->makeImage({{"A", 0, 0x40000, 0, componentData(2048)},
                              {"B", 0, 0x80000, 0, QByteArray(2048 + 32, 'x')}}));
    const QStringList halves = recorder->events();
    const int write = halves.lastIndexOf("status:Writing to Flash memory at 0x80000");
    QCOMPARE(halves.mid(write + 1, 2), QStringList({"current:50", "total:74"}));
}

void TestUpdatePipeline::statusTextsOfAComponent()
{
    DebugLog log;
    update(device->makeImage({{"ONE", 0, 0x20000, 0, componentData(1000)}}));
    const QString erase = "int UpdaterThread::eraseFlash(int, u_int32_t, u_int32_t)";
    QCOMPARE(log.lines(),
             QStringList({"int UpdaterThread::unlockFlash(int)", erase, erase,
                          "int UpdaterThread::writeToFlash(int, QFile&, u_int32_t, u_int32_t, "
                          "u_int32_t)",
                          "int UpdaterThread::verifyAndRepair(int, QFile&, u_int32_t, u_int32_t, "
                          "u_int32_t)"}));
    QCOMPARE(
        recorder->statusTexts(),
        QStringList({"Updater initialization...", "Started erasing Flash memory...",
                     "Erasing page at 0x20000", "Erasing page at 0x20000",
                     "Started writing to Flash memory...", "Writing to Flash memory at 0x20000",
                     "Verifying Flash memory...", "Reading from Flash memory at 0x20000",
                     "Verifying Flash memory content.", done}));
}

void TestUpdatePipeline::elevenComponents()
{
    QList<ImageComponent> components;
    for (int i = 0; i < 11; ++i)
        components.append({QString::number(i), 0, quint32(i) * 0x20000, 0, componentData(900, i)});
    const QString path = device->makeImage(components);
    update(path);
    QCOMPARE(recorder->statusTexts().last(), done);
    QVERIFY(flashHoldsImage(components, path));
    const QList<int> totals = recorder->values("total");
    for (int i = 1; i < totals.size(); ++i)
        QVERIFY(totals[i] >= 0 && totals[i] <= 100);
}

void TestUpdatePipeline::failures_data()
{
    QTest::addColumn<QByteArray>("setting");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("lastText");
    QTest::addColumn<int>("erases");
    QTest::newRow("flash node missing") << QByteArray("FLASH_NODE") << QByteArray("missing")
                                        << "Error opening /dev/tarn_flash" << 0;
    // The run goes on after a refused unlock; the locked flash then refuses the first erase.
    QTest::newRow("unlock refused")
        << QByteArray("UNLOCK") << QByteArray("refuse") << "Error erasing page at 0x40000" << 1;
    QTest::newRow("second erase refused") << QByteArray("ERASE_FAIL") << QByteArray("0x60000:2")
                                          << "Error erasing page at 0x60000" << 4;
    QTest::newRow("page never verifies") << QByteArray("STUCK_BITS") << QByteArray("0x40100:0x80")
                                         << "Error verifying Flash memory at 0x40000" << 4 + 3;
}

void TestUpdatePipeline::failures()
{
    QFETCH(QByteArray, setting);
    QFETCH(QByteArray, value);
    QFETCH(QString, lastText);
    QFETCH(int, erases);
    device->set(setting.constData(), value);
    device->writeFlash(0x100000, QByteArray(16, '\x5A'));
    update(device->makeImage({{"A", 0, 0x40000, 0, QByteArray(0x30000, char(0xFF))},
                              {"B", 0, 0x100000, 0, componentData(100)}}));

    QCOMPARE(recorder->finishedCount(), 1);
    QCOMPARE(recorder->statusTexts().last(), lastText);
    QVERIFY(!recorder->statusTexts().contains(done));
    QVERIFY(!recorder->values("total").contains(100));
    QCOMPARE(device->traceMatching("FLASH_ERASE").size(), erases);
    QCOMPARE(device->traceMatching("flash open$").size(), setting == "FLASH_NODE" ? 0 : 1);
    QCOMPARE(device->traceMatching("flash close").size(), setting == "FLASH_NODE" ? 0 : 1);
    QCOMPARE(device->traceMatching("FLASH_UNLOCK").size(), setting == "FLASH_NODE" ? 0 : 1);
    QCOMPARE(recorder->statusTexts().contains("Error unlocking Flash memory."),
             setting == "UNLOCK");
    // The component after the failed one is not touched.
    QCOMPARE(device->flash(0x100000, 16), QByteArray(16, '\x5A'));
}

void TestUpdatePipeline::unusableImagesLeaveTheFlashAlone_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("text");
    QByteArray header(32, '\0');
    header[28] = '\x40'; // a block length that leads past the end of the file
    QTest::newRow("broken chain") << header << "Error reading update image %1";
    QTest::newRow("empty file") << QByteArray() << "Error reading update image %1";
    QTest::newRow("missing file") << QByteArray("-") << "Error reading update image %1";
    QByteArray high(64, '\0');
    high.replace(4, 4, QByteArray("\xF0\xFF\xFF\xFF", 4));
    QTest::newRow("past the address space")
        << high << "Component at 0xfffffff0 runs past the end of the flash address space.";
    QTest::newRow("too large") << QByteArray("sparse") << "Component at 0x40000 is too large.";
}

void TestUpdatePipeline::unusableImagesLeaveTheFlashAlone()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, text);
    const QString path = device->path("bad.tarnru");
    QFile file(path);
    if (content == "sparse") {
        // One last block of 32 MiB and a little more, at 0x40000.
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("\0\0\0\0\0\0\x04\0", 8));
        QVERIFY(file.resize(0x2000001));
        file.close();
    } else if (content != "-") {
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
    }
    update(path);
    QCOMPARE(recorder->finishedCount(), 1);
    QCOMPARE(recorder->statusTexts().last(), text.replace("%1", path));
    QVERIFY(device->traceMatching("flash").isEmpty());
}

void TestUpdatePipeline::componentsMustNotSharePages_data()
{
    QTest::addColumn<quint32>("second");
    QTest::addColumn<QString>("text");
    // The first component, at 0x40000 with its header, fills its one page exactly.
    QTest::newRow("next page") << 0x60000u << done;
    QTest::newRow("same page") << 0x50000u
                               << "Components at 0x40000 and 0x50000 share a flash page.";
    QTest::newRow("same address") << 0x40000u
                                  << "Components at 0x40000 and 0x40000 share a flash page.";
}

// A component's erase would wipe what an earlier one wrote into a page they share.
void TestUpdatePipeline::componentsMustNotSharePages()
{
    QFETCH(quint32, second);
    QFETCH(QString, text);
    const QList<ImageComponent> components{{"A", 0, 0x40000, 0, componentData(0x20000 - 32)},
                                           {"B", 0, second, 0, componentData(100, 2)}};
    const QString path = device->makeImage(components);
    update(path);
    QCOMPARE(recorder->statusTexts().last(), text);
    if (text == done)
        QVERIFY(flashHoldsImage(components, path));
    else
        QVERIFY(device->traceMatching("flash").isEmpty());
}

QTEST_GUILESS_MAIN(TestUpdatePipeline)
#include "TestUpdatePipeline.moc"
