// The flash updater through the real system calls into the simulated flash: whole updates, one
// row a scenario (the image, the faults, and what the flash and the status line hold
// afterwards), and the repair that a difference gets.

#include "SimulatedDevice.h"
#include "UpdaterThread.h"
#include "VorlanDriver.h"

#include <QtEndian>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

using Settings = QList<QPair<QByteArray, QByteArray>>;
using Components = QList<ImageComponent>;
Q_DECLARE_METATYPE(ImageComponent)

namespace {

const QString done = QStringLiteral("Done updating. It is now safe to restart the computer.");
constexpr int flashSize = 0x1100000;

ImageComponent part(const char *name, quint32 address, int length, quint32 seed = 1)
{
    return {QString::fromLatin1(name), 0x01000000, address, 1, componentData(length, seed)};
}

ImageComponent withBytes(ImageComponent component, int at, int count, char value)
{
    component.data.replace(at, count, QByteArray(count, value));
    return component;
}

// "address:mask" of the byte at offset of the component's data.
QByteArray bitAt(quint32 address, int offset, int mask)
{
    return QByteArray::number(address + quint32(offset)) + ':' + QByteArray::number(mask);
}

// Runs a whole update as the window does, the worker in its own thread, and returns its status
// texts and how often it said it had finished. The hook sees each status text on the worker's
// thread before the worker goes on.
QStringList runUpdate(const QString &path, const std::function<void(const QString &)> &hook,
                      int *finished)
{
    QStringList texts;
    QThread thread;
    auto *worker = new UpdaterThread;
    worker->setFilename(path);
    worker->moveToThread(&thread);
    const auto onText = [&](const QString &text) {
        texts << text;
        if (hook)
            hook(text);
    };
    QObject::connect(worker, &UpdaterThread::updateStatusText, worker, onText,
                     Qt::DirectConnection);
    QSignalSpy ended(worker, &UpdaterThread::finished);
    QObject::connect(&thread, &QThread::started, worker, &UpdaterThread::process);
    QObject::connect(worker, &UpdaterThread::finished, &thread, &QThread::quit);
    QObject::connect(worker, &UpdaterThread::finished, worker, &QObject::deleteLater);
    QSignalSpy stopped(&thread, &QThread::finished);
    thread.start();
    if (!stopped.wait(60000))
        qFatal("the update did not end within a minute");
    *finished = ended.count();
    return texts;
}

void row(const char *name, const Components &components, const Settings &settings,
         const QString &lastText, const char *outcome, const char *fired = "", int wordRepairs = 0,
         int pageRepairs = 0)
{
    QTest::newRow(name) << components << settings << lastText << QString(outcome) << QString(fired)
                        << wordRepairs << pageRepairs;
}

} // namespace

class TestUpdater : public QObject
{
    Q_OBJECT

private slots:
    void update_data();
    void update();
    void repairChoice_data();
    void repairChoice();
};

void TestUpdater::update_data()
{
    QTest::addColumn<Components>("components");
    QTest::addColumn<Settings>("settings");
    QTest::addColumn<QString>("lastText"); // %1: the image's path
    // Per component: W holds the image (its pages erased, then its data), ? may have changed
    // within its pages, - untouched (also for components that the string leaves out). Empty:
    // not a single request reached the flash.
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("fired"); // a trace line that the row's fault leaves
    QTest::addColumn<int>("wordRepairs");
    QTest::addColumn<int>("pageRepairs");

    const Components three{part("BOOT", 0x40000, 70000, 1), part("KERN", 0x100000, 300000, 2),
                           part("CONF", 0x200000, 5000, 3)};
    row("a page of data, other data right after it", {part("A", 0, 0x20000)}, {}, done, "W");
    row("page-sized partitions", {part("A", 0, 0x20000), part("B", 0x20000, 0x20000, 2)}, {}, done,
        "WW");
    // 2^24 + 1 is 2^24 in single precision: the page count must not go through a float.
    row("just over 16 MiB", {part("L", 0x20000, 0x1000001)}, {}, done, "W");
    row("odd lengths and no data",
        {part("A", 0x40000, 0x20001), part("B", 0x100000, 1000, 2), part("C", 0x140000, 3, 3),
         part("D", 0x200000, 0)},
        {}, done, "WWWW");

    row("weak bit in the last byte of an odd length",
        {withBytes(part("T", 0x40000, 1003), 1002, 1, '\0')},
        {{"WEAK_BITS", bitAt(0x40000, 1002, 1)}}, done, "W", "weak bits injected", 1);
    // Without the rest of the short read, the unread half would pass for the image's zeros.
    row("short read over a weak bit", {withBytes(part("Z", 0x40000, 8192), 5120, 1024, '\0')},
        {{"WEAK_BITS", bitAt(0x40000, 5820, 0x10)}, {"SHORT_READ", "6"}}, done, "W",
        "read .* injected", 1);
    row("short write", three, {{"SHORT_WRITE", "7"}}, done, "WWW", "write .* injected");
    // The refused block stays erased, which is its image; no later block may move.
    row("refused write", {withBytes(part("E", 0x40000, 8192), 3072, 1024, '\xFF')},
        {{"WRITE_FAIL", "4"}}, done, "W", "= -1 injected");
    row("page that never verifies",
        {withBytes(part("S", 0x40000, 0x30000), 0x100, 1, '\xFF'), part("N", 0x100000, 100)},
        {{"STUCK_BITS", bitAt(0x40000, 0x100, 0x80)}}, "Error verifying Flash memory at 0x40000",
        "?-", "stuck bits injected", 0, 3);
    row("erase refused in the second of three", three, {{"ERASE_FAIL", "0x100000:1"}},
        "Error erasing page at 0x100000", "W?-", "ERASE.* injected");
    row("flash node missing", three, {{"FLASH_NODE", "missing"}}, "Error opening /dev/tarn_flash",
        "", "open = -1 missing");
    row("another update holds the flash", three, {{"held", ""}},
        "The flash memory is being updated by another program.", "");
    row("image cut short during the update", three, {{"cut", ""}}, "Error reading update image %1",
        "?--");

    row("not on a page", {part("U", 0x10000, 100)}, {},
        "Component at 0x10000 does not start on a flash page.", "");
    row("sharing a page", {part("A", 0x40000, 0x20001), part("B", 0x60000, 100)}, {},
        "Components at 0x40000 and 0x60000 share a flash page.", "");
    row("past the address space", {part("H", 0xFFFE0000, 0x20001)}, {},
        "Component at 0xfffe0000 runs past the end of the flash address space.", "");
    Components many;
    for (int i = 0; i < 257; ++i)
        many << part("M", 0, 0);
    row("more than 256 components", many, {}, "Error reading update image %1", "");
}

void TestUpdater::update()
{
    QFETCH(Components, components);
    QFETCH(Settings, settings);
    QFETCH(QString, lastText);
    QFETCH(QString, outcome);
    QFETCH(QString, fired);
    QFETCH(int, wordRepairs);

    SimulatedDevice device(flashSize);
    static const QByteArray before = [] { // neither erased nor like any image
        QByteArray content(flashSize, Qt::Uninitialized);
        for (int i = 0; i < flashSize; ++i)
            content[i] = char(0x5A ^ ((i >> 9) & 0x7F));
        return content;
    }();
    device.setFlash(before);
    const QString path = device.makeImage(components);
    int holder = -1;
    std::function<void(const QString &)> hook;
    for (const auto &setting : settings) {
        if (setting.first == "held") {
            holder = open(flashNodePath, O_RDWR);
            QVERIFY(holder >= 0 && flock(holder, LOCK_EX | LOCK_NB) == 0);
        } else if (setting.first == "cut") {
            hook = [&path](const QString &text) {
                if (text == QLatin1String("Started erasing Flash memory..."))
                    QFile::resize(path, 64);
            };
        } else {
            device.set(setting.first.constData(), setting.second);
        }
    }
    QElapsedTimer clock;
    clock.start();
    int finished = 0;
    const QStringList texts = runUpdate(path, hook, &finished);
    // A word is read back only after the 50 ms the flash needs to program it.
    QVERIFY(clock.elapsed() >= 50 * wordRepairs);
    close(holder);

    QCOMPARE(finished, 1);
    QCOMPARE(texts.last(), lastText.replace(QLatin1String("%1"), path));
    QCOMPARE(texts.contains(done), lastText == done);
    QCOMPARE(device.trace("flash open$").size(), device.trace("flash close").size());
    QVERIFY2(fired.isEmpty() || !device.trace(fired).isEmpty(), "the fault was never injected");
    // Every repair announces a write while a component is verified; a page repair also writes
    // a whole page.
    int repairs = 0;
    bool verifying = false;
    for (const QString &text : texts) {
        verifying = text == QLatin1String("Verifying Flash memory...") ||
                    (verifying && text != QLatin1String("Started erasing Flash memory..."));
        repairs += verifying && text.startsWith(QLatin1String("Writing to Flash memory at"));
    }
    const int pageRepairs = device.trace(QStringLiteral("write \\S+ 131072 =")).size();
    QTEST(pageRepairs, "pageRepairs");
    QCOMPARE(repairs - pageRepairs, wordRepairs);

    const QByteArray after = device.flash();
    QByteArray expected = before;
    for (int i = 0; i < components.size(); ++i) {
        const ImageComponent &c = components[i];
        const int at = int(c.flashAddress);
        const int pages = (c.data.size() + 0x1FFFF) / 0x20000 * 0x20000;
        const QChar state = i < outcome.size() ? outcome.at(i) : QChar('-');
        if (state == 'W') {
            expected.replace(at, pages, QByteArray(pages, char(0xFF)));
            expected.replace(at, c.data.size(), c.data);
            for (int page = at; page < at + pages; page += 0x20000) // erased twice first
                QVERIFY(device.trace(QStringLiteral("ERASE 0x%1 = 0").arg(page, 0, 16)).size() > 1);
        } else if (state == '?') {
            expected.replace(at, pages, after.mid(at, pages));
        }
        if (c.data.isEmpty()) // no request at all for a component without data
            QVERIFY(device.trace(QStringLiteral("0x%1\\b").arg(at, 0, 16)).isEmpty());
    }
    QVERIFY2(after == expected, "the flash holds other bytes than expected");
    if (outcome.isEmpty())
        QVERIFY(device.trace(QStringLiteral("ioctl|read|write")).isEmpty());
}

void TestUpdater::repairChoice_data()
{
    QTest::addColumn<quint32>("flashWord");
    QTest::addColumn<QByteArray>("weakBits");
    QTest::addColumn<int>("wordRepairs");
    QTest::addColumn<int>("pageRepairs");
    QTest::newRow("erased word: rewritten in place") << 0xFFFFFFFFu << QByteArray() << 1 << 0;
    QTest::newRow("a 1 bit missing: only an erase helps") << 0x12345670u << QByteArray() << 0 << 1;
    QTest::newRow("rewrite reads back wrong") << 0xFFFFFFFFu << QByteArray("0x40008:1") << 1 << 1;
}

// Image word 0x12345678 at offset 8 of a 1000-byte component at 0x40000, against the flash
// word, verified on its own: a whole update erases what a test would put there first.
void TestUpdater::repairChoice()
{
    QFETCH(quint32, flashWord);
    QFETCH(QByteArray, weakBits);
    SimulatedDevice device;
    device.set("WEAK_BITS", weakBits);
    QByteArray data = componentData(1000);
    data.replace(8, 4, "\x78\x56\x34\x12", 4);
    QFile image(device.makeImage({{"R", 0, 0x40000, 0, data}}));
    QVERIFY(image.open(QIODevice::ReadOnly));
    QByteArray flash(0x400000, '\xFF');
    flash.replace(0x40000, 1000, data);
    const quint32 word = qToLittleEndian(flashWord);
    flash.replace(0x40008, 4, reinterpret_cast<const char *>(&word), 4);
    device.setFlash(flash);
    const int fd = open(flashNodePath, O_RDWR);
    ioctl(fd, IOCTL_FLASH_UNLOCK, unlockToken);

    UpdaterThread worker;
    QCOMPARE(worker.verifyAndRepair(fd, image, 0, 0x40000, 1000), 0);
    close(fd);
    QTEST(device.trace(QStringLiteral("write 0x40008 4 = 4")).size(), "wordRepairs");
    QTEST(device.trace(QStringLiteral("write 0x40000 131072")).size(), "pageRepairs");
    // The rest of a rewritten page holds the erased value, not whatever the buffer held.
    QCOMPARE(device.flash().mid(0x40000, 0x20000), data + QByteArray(0x20000 - 1000, '\xFF'));
}

QTEST_GUILESS_MAIN(TestUpdater)
#include "TestUpdater.moc"
