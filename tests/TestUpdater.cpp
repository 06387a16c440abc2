// The flash updater through the real system calls into the simulated flash: whole updates, one
// row a scenario (the image, the faults, and what the flash, the status line and the copy hold
// afterwards), the repair that a difference gets, the progress arithmetic and the copies kept.

#include "FlashCopies.h"
#include "FlashJournal.h"
#include "ImageReader.h"
#include "InterruptGuard.h"
#include "SigningKeys.h"
#include "SimulatedDevice.h"
#include "StateFolder.h"
#include "UpdateProgress.h"
#include "UpdaterThread.h"
#include "VorlanDriver.h"

#include <QCryptographicHash>
#include <QtEndian>
#include <QtTest>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <thread>

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

struct Run
{
    QStringList texts;
    QStringList log; // "t:" status texts, "c:" current and "p:" total progress, in order
    int finished = 0;
    UpdateOutcome outcome;
    bool blocked = false; // the terminating signals, in the worker's thread
};

bool blocksInterrupts()
{
    sigset_t mask;
    pthread_sigmask(SIG_BLOCK, nullptr, &mask);
    return sigismember(&mask, SIGINT) && sigismember(&mask, SIGRTMAX);
}

// Runs a whole update as the window does, the worker in its own thread. The hook sees each
// status text on the worker's thread before the worker goes on.
Run runUpdate(const QString &path, const std::function<void(const QString &)> &hook = {},
              const QList<ComponentRecord> &confirmed = {},
              UpdaterThread::CopyMode copy = UpdaterThread::CopyMode::Skip,
              const std::function<void(UpdaterThread *)> &setUp = {})
{
    Run run;
    QThread thread;
    auto *worker = new UpdaterThread;
    worker->setFilename(path);
    if (setUp)
        setUp(worker);
    if (!confirmed.isEmpty())
        worker->setConfirmedComponents(confirmed);
    worker->setCopyMode(copy);
    worker->moveToThread(&thread);
    const auto direct = Qt::DirectConnection;
    QObject::connect(
        worker, &UpdaterThread::updateStatusText, worker,
        [&](const QString &text) {
            run.blocked = run.texts.isEmpty() ? blocksInterrupts() : run.blocked;
            run.texts << text;
            run.log << "t:" + text;
            if (hook)
                hook(text);
        },
        direct);
    QObject::connect(
        worker, &UpdaterThread::updateCurrentProgress, worker,
        [&](int value) { run.log << "c:" + QString::number(value); }, direct);
    QObject::connect(
        worker, &UpdaterThread::updateTotalProgress, worker,
        [&](int value) { run.log << "p:" + QString::number(value); }, direct);
    QObject::connect(
        worker, &UpdaterThread::finished, worker,
        [&] {
            ++run.finished;
            run.outcome = worker->outcome();
        },
        direct);
    QObject::connect(&thread, &QThread::started, worker, &UpdaterThread::process);
    QObject::connect(worker, &UpdaterThread::finished, &thread, &QThread::quit);
    QObject::connect(worker, &UpdaterThread::finished, worker, &QObject::deleteLater);
    QSignalSpy stopped(&thread, &QThread::finished);
    InterruptGuard::startBlocked(thread);
    if (!stopped.wait(60000))
        qFatal("the update did not end within a minute");
    return run;
}

void row(const char *name, const Components &components, const Settings &settings,
         const QString &lastText, const char *outcome, const char *fired = "", int wordRepairs = 0,
         int pageRepairs = 0)
{
    QTest::newRow(name) << components << settings << lastText << QString(outcome) << QString(fired)
                        << wordRepairs << pageRepairs;
}

qint64 microseconds(const QString &traceLine)
{
    return traceLine.section(' ', 0, 0).toLongLong();
}

std::atomic<int> signalsCaught{0};

// SIGWINCH again and again at one thread, with a handler that does nothing and restarts no
// call: every sleep of that thread ends early unless it sleeps on.
struct SignalStream
{
    void start(pthread_t target)
    {
        struct sigaction action = {};
        action.sa_handler = [](int) { ++signalsCaught; };
        sigaction(SIGWINCH, &action, nullptr);
        sender = std::thread([this, target] {
            while (!stopped) {
                pthread_kill(target, SIGWINCH);
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        });
    }
    void stop() // before the target thread ends
    {
        stopped = true;
        if (sender.joinable())
            sender.join();
    }
    std::atomic<bool> stopped{false};
    std::thread sender;
};

quint32 crc32Of(const QByteArray &bytes)
{
    return quint32(
        crc32_z(0, reinterpret_cast<const Bytef *>(bytes.constData()), z_size_t(bytes.size())));
}

// Replaces bytes of the image in place where at points into a component's data, rest bytes
// before its end, and keeps the component's CRC-32. CRC-32 is affine: a change whose CRC
// without the initial and final inversion is zero leaves it as it was, and bytes followed by
// that CRC of theirs, little-endian, are such a change.
void rewriteKeepingCrc(const QString &path, qint64 at, int rest)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(at));
    const QByteArray before = file.read(rest);
    QByteArray change("changed!");
    const quint32 raw = qToLittleEndian(~quint32(crc32_z(
        0xFFFFFFFF, reinterpret_cast<const Bytef *>(change.data()), z_size_t(change.size()))));
    change += QByteArray(reinterpret_cast<const char *>(&raw), 4);
    QByteArray after = before;
    for (int i = 0; i < change.size(); ++i)
        after[i] = char(after[i] ^ change[i]);
    QCOMPARE(crc32Of(after), crc32Of(before));
    QVERIFY(file.seek(at) && file.write(after.left(change.size())) == change.size());
}

QString reason(int error)
{
    return QString::fromLocal8Bit(strerror(error));
}

} // namespace

class TestUpdater : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { keys = new SigningKeys; }
    void cleanupTestCase() { delete keys; }
    void init() { keys->reset(); }
    void update_data();
    void update();
    void repairChoice_data();
    void repairChoice();
    void progress_data();
    void progress();
    void copiesKept();

private:
    SigningKeys *keys = nullptr;
};

void TestUpdater::update_data()
{
    QTest::addColumn<Components>("components");
    QTest::addColumn<Settings>("settings");
    QTest::addColumn<QString>("lastText"); // %1: the image's path
    // Per component: W holds the image (its pages erased, then its data), ? may have changed
    // within its pages, - untouched (also for components that the string leaves out). Empty:
    // no erase and no write reached the flash.
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("fired"); // a trace line that the row's fault leaves
    QTest::addColumn<int>("wordRepairs");
    QTest::addColumn<int>("pageRepairs");

    const Components three{part("BOOT", 0x40000, 70000, 1), part("KERN", 0x100000, 300000, 2),
                           part("CONF", 0x200000, 5000, 3)};
    row("a page of data, other data right after it", {part("A", 0, 0x20000)}, {}, done, "W");
    row("three components", three, {}, done, "WWW");
    // 2^24 + 1 is 2^24 in single precision: the page count must not go through a float.
    row("just over 16 MiB", {part("L", 0x20000, 0x1000001)}, {}, done, "W");
    row("odd lengths and no data",
        {part("A", 0x40000, 0x20001), part("B", 0x100000, 1000, 2), part("C", 0x140000, 3, 3),
         part("D", 0x200000, 0)},
        {}, done, "WWWW");

    const Components weak{withBytes(part("T", 0x40000, 1003), 1002, 1, '\0')};
    const QPair<QByteArray, QByteArray> weakBit{"WEAK_BITS", bitAt(0x40000, 1002, 1)};
    row("weak bit in the last byte of an odd length", weak, {weakBit}, done, "W",
        "weak bits injected", 1);
    // The refused read leaves the block unread: it must not pass for the image's zeros.
    row("refused read over a weak bit", {withBytes(part("Z", 0x40000, 8192), 5820, 1, '\0')},
        {{"WEAK_BITS", bitAt(0x40000, 5820, 0x10)}, {"READ_FAIL", "6"}}, done, "W",
        "read .* injected", 0, 1);
    row("short write", three, {{"SHORT_WRITE", "7"}}, done, "WWW", "write .* injected");
    // The refused block stays erased, which is its image; no later block may move.
    row("refused write", {withBytes(part("E", 0x40000, 8192), 3072, 1024, '\xFF')},
        {{"WRITE_FAIL", "4"}}, done, "W", "= -1 injected");
    const Components stuck{withBytes(part("S", 0x40000, 0x30000), 0x100, 1, '\xFF'),
                           part("N", 0x100000, 100)};
    const QPair<QByteArray, QByteArray> stuckBit{"STUCK_BITS", bitAt(0x40000, 0x100, 0x80)};
    row("page that never verifies", stuck, {stuckBit}, "Error verifying Flash memory at 0x40000",
        "?-", "stuck bits injected", 0, 3);
    row("erase refused in the second of three, after a copy", three,
        {{"ERASE_FAIL", "0x100000:1"}, {"copy", ""}}, "Error erasing page at 0x100000", "W?-",
        "ERASE.* injected");
    row("flash read refused for the copy", three, {{"READ_FAIL", "3"}, {"copy", ""}},
        "Error reading Flash memory at 0x40800 for a copy. The flash was not changed.", "",
        "read .* injected");
    row("flash node missing", three, {{"FLASH_NODE", "missing"}},
        "Error opening /dev/tarn_flash: " + reason(ENOENT), "", "open = -1 missing");
    // Nothing is written after a seek that failed: the node would be anywhere.
    const QString seekError = "Error seeking Flash memory to 0x%1: " + reason(EIO);
    const char *const seekFired = "lseek .* = -1 injected";
    row("seek refused in the write stage", three, {{"LSEEK_FAIL", "3"}}, seekError.arg("100000"),
        "W?-", seekFired);
    row("seek refused in the read-back", three, {{"LSEEK_FAIL", "2"}}, seekError.arg("40000"),
        "?--", seekFired);
    row("seek refused before a word's rewrite", weak, {weakBit, {"LSEEK_FAIL", "3"}},
        seekError.arg("403e8"), "?", seekFired);
    row("seek refused before a page's rewrite", stuck, {stuckBit, {"LSEEK_FAIL", "3"}},
        seekError.arg("40000"), "?-", seekFired);
    row("erase refused in a page's repair", stuck, {stuckBit, {"ERASE_FAIL", "0x40000:3"}},
        "Error erasing page at 0x40000", "?-", "ERASE.* injected");
    // The flash needs the whole pause to program the word, however often the thread is woken.
    row("signals at the worker through a word's rewrite", weak, {weakBit, {"signals", ""}}, done,
        "W", "weak bits injected", 1);
    row("another update holds the flash", three, {{"held", ""}},
        "The flash memory is being updated by another program.", "");
    row("image cut short during the update", three, {{"cut", ""}},
        "Error reading update image %1: a component's data is cut short", "?--");
    // Bytes of KERN's data rewritten in place with its CRC-32 kept, after the image's check:
    // before KERN's first erase, or once it is written and is being verified.
    const QString changed = "The update image changed after it was checked: KERN (2 of 3, at "
                            "0x100000).";
    row("signed image rewritten in place before a component's erase", three,
        {{"trust", "vendor"}, {"sign", "vendor"}, {"rewrite", "Started erasing Flash memory..."}},
        changed, "W-?");
    row("image of the SHA-256 asked for rewritten in place during a verify", three,
        {{"sha256", "right"}, {"rewrite", "Verifying Flash memory..."}}, changed, "WW?");
    // The update has its own descriptor of the file: another file under the name changes nothing.
    row("image replaced under its name", three, {{"replace", ""}}, done, "WWW");
    // Out of memory outside the component buffers, here while the first component is erased.
    row("an exception in the worker", three, {{"throw", ""}},
        "Not enough memory to update the flash.", "?--");
    row("list changed after it was shown", three, {{"confirmed", ""}},
        "The update image changed after it was shown. Check it and press Update again.", "");

    row("not on a page", {part("U", 0x10000, 100)}, {},
        "Component at 0x10000 does not start on a flash page.", "");
    row("sharing a page", {part("A", 0x40000, 0x20001), part("B", 0x60000, 100)}, {},
        "Components at 0x40000 and 0x60000 share a flash page.", "");
    row("past the address space", {part("H", 0xFFFE0000, 0x20001)}, {},
        "Component at 0xfffe0000 runs past the end of the flash address space.", "");
    row("larger than the buffers", {part("X", 0, 0x2000001)}, {}, "Component at 0x0 is too large.",
        "");
    // Where the image comes from: the keys trusted, the policy, the signature beside the image
    // and the SHA-256 asked for.
    const Components two{part("BOOT", 0x40000, 5000, 1), part("KERN", 0x100000, 3000, 2)};
    const QString bad = "The signature %1.sig does not match the update image %1.";
    const QString notSigned = "The update image %1 is not signed (there is no %1.sig or %1.asc), "
                              "and %etc/vorlan-update.conf requires a signature ";
    const QString otherHash =
        "The SHA-256 of the update image %1 is %sha, not the expected " + QString(64, '0') + '.';
    row("signed by a trusted key", two, {{"trust", "vendor"}, {"sign", "vendor"}}, done, "WW");
    row("armoured signature and keyring, Required=yes", two,
        {{"trust", "vendor.asc"}, {"sign", "vendor.asc"}, {"required", "yes"}}, done, "WW");
    row("one byte changed in the last component after signing", two,
        {{"trust", "vendor"}, {"sign", "changed"}}, bad, "");
    row("signed by a key that is not trusted", two, {{"trust", "vendor"}, {"sign", "stranger"}},
        "The update image %1 is signed by a key that is not trusted (\u2026%stranger). Trusted "
        "keys "
        "are those in %etc/keyrings and %share/keyrings.",
        "");
    row("signed by an expired key", two, {{"trust", "old"}, {"sign", "old"}},
        "The update image %1 is signed by a key that has expired or been revoked (Old Test "
        "<old@example.invalid>, key \u2026%old).",
        "");
    row("a signature of another file", two, {{"trust", "vendor"}, {"sign", "other"}}, bad, "");
    row("a signed message instead of a detached signature", two,
        {{"trust", "vendor"}, {"sign", "message"}}, bad, "");
    row("not signed, Required=yes", two, {{"required", "yes"}}, notSigned + "(Required=yes).", "");
    row("not signed, a trusted key and no policy file", two, {{"trust", "vendor"}},
        "The update image %1 is not signed (there is no %1.sig or %1.asc), and without "
        "%etc/vorlan-update.conf a signature is required once a trusted key is installed.",
        "");
    row("not signed, Required=auto and no key", two, {{"required", "auto"}}, done, "WW");
    row("not signed, Required=no and a trusted key", two, {{"required", "no"}, {"trust", "vendor"}},
        done, "WW");
    row("not signed, Required of another value", two, {{"required", "Maybe"}},
        "The update image %1 is not signed (there is no %1.sig or %1.asc), and "
        "%etc/vorlan-update.conf cannot be used as it is, so a signature is required.",
        "");
    row("the SHA-256 asked for", two, {{"sha256", "right"}}, done, "WW");
    row("another SHA-256 asked for", two, {{"sha256", QByteArray(64, '0')}}, otherHash, "");
    row("own copy, not signed, its SHA-256 kept", two, {{"trust", "vendor"}, {"copy of", "right"}},
        done, "WW");
    row("own copy with another SHA-256", two,
        {{"trust", "vendor"}, {"copy of", QByteArray(64, '0')}}, otherHash, "");

    Components many;
    for (int i = 0; i < 257; ++i)
        many << part("M", 0, 0);
    row("more than 256 components", many, {},
        "Error reading update image %1: it has more than 256 components", "");
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
    std::function<void()> atSecondVerify;
    QList<ComponentRecord> confirmed;
    auto copy = UpdaterThread::CopyMode::Skip;
    SignalStream signalStream;
    signalsCaught = 0;
    std::function<void(UpdaterThread *)> setUp;
    const auto sha256 = [&](const QByteArray &value) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        return value != "right"
                   ? value
                   : QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
    };
    for (const auto &setting : settings) {
        const QByteArray &value = setting.second;
        if (setting.first == "trust") {
            keys->trust(value);
        } else if (setting.first == "required") {
            keys->setRequired(value);
        } else if (setting.first == "sign") {
            keys->sign(value, path);
        } else if (setting.first == "sha256") {
            setUp = [hex = sha256(value)](UpdaterThread *worker) {
                worker->setExpectedSha256(hex);
            };
        } else if (setting.first == "copy of") {
            setUp = [hex = sha256(value)](UpdaterThread *worker) { worker->setOwnCopy(hex); };
        } else if (setting.first == "held") {
            holder = open(flashNodePath, O_RDWR);
            QVERIFY(holder >= 0 && flock(holder, LOCK_EX | LOCK_NB) == 0);
        } else if (setting.first == "cut") {
            hook = [&path](const QString &text) {
                if (text == QLatin1String("Started erasing Flash memory..."))
                    QFile::resize(path, 64);
            };
        } else if (setting.first == "throw") {
            hook = [](const QString &text) {
                if (text == QLatin1String("Started writing to Flash memory..."))
                    throw std::bad_alloc();
            };
        } else if (setting.first == "rewrite") { // at the first text given after BOOT's
            hook = [&path, value, seen = 0](const QString &text) mutable {
                if (text == QLatin1String(value) && ++seen == (value.startsWith("Verify") ? 2 : 1))
                    rewriteKeepingCrc(path, 70000 + 64 + 1000, 300000 - 1000);
            };
        } else if (setting.first == "replace") {
            atSecondVerify = [&] { device.makeImage({components[0], part("EVIL", 0x300000, 5)}); };
        } else if (setting.first == "confirmed") {
            readImageComponents(path, confirmed);
            confirmed[1].version ^= 1;
        } else if (setting.first == "signals") { // from the read-back on
            hook = [&](const QString &text) {
                if (text == QLatin1String("Verifying Flash memory...") &&
                    !signalStream.sender.joinable())
                    signalStream.start(pthread_self());
                else if (text == done || text.startsWith(QLatin1String("Error")))
                    signalStream.stop();
            };
        } else if (setting.first == "copy") {
            copy = UpdaterThread::CopyMode::Save;
        } else {
            device.set(setting.first.constData(), setting.second);
        }
    }
    int verifies = 0;
    if (atSecondVerify) {
        hook = [&](const QString &text) {
            if (text == QLatin1String("Verifying Flash memory...") && ++verifies == 2)
                atSecondVerify();
        };
    }
    const Run run = runUpdate(path, hook, confirmed, copy, setUp);
    close(holder);
    signalStream.stop();
    QCOMPARE(signalsCaught > 0, settings.contains({"signals", ""}));

    QCOMPARE(run.finished, 1);
    QVERIFY(run.blocked && !blocksInterrupts());
    lastText.replace("%etc", keys->configFolder()).replace("%share", keys->dataFolder());
    lastText.replace("%stranger", keys->keyId("stranger"))
        .replace("%old", keys->keyId("old"))
        .replace("%sha", sha256("right"));
    QCOMPARE(run.texts.last(), lastText.replace(QLatin1String("%1"), path));
    QCOMPARE(run.texts.contains(done), lastText == done);
    QCOMPARE(device.trace("flash open$").size(), device.trace("flash close").size());
    QVERIFY2(fired.isEmpty() || !device.trace(fired).isEmpty(), "the fault was never injected");
    // An update that began erasing stays on record until it ends in "Done".
    QCOMPARE(FlashJournal::load(StateFolder()).isEmpty(), !outcome.contains('?'));

    // Every repair announces a write while a component is verified; a page repair also writes
    // a whole page. A word is read back only after the 50 ms that the flash needs to program it.
    int repairs = 0;
    bool verifying = false;
    for (const QString &text : run.texts) {
        verifying = text == QLatin1String("Verifying Flash memory...") ||
                    (verifying && text != QLatin1String("Started erasing Flash memory..."));
        repairs += verifying && text.startsWith(QLatin1String("Writing to Flash memory at"));
    }
    const int pageRepairs = device.trace(QStringLiteral("write \\S+ 131072 =")).size();
    QTEST(pageRepairs, "pageRepairs");
    QCOMPARE(repairs - pageRepairs, wordRepairs);
    // A word is read back only after the 50 ms that the flash needs to program it. A word's
    // rewrite is a write of at most 4 bytes right after a read, and its check read comes next.
    const QStringList transfers = device.trace(QStringLiteral(" (write|read) |_ERASE "));
    int rewrites = 0;
    for (int i = 1; i + 1 < transfers.size(); ++i) {
        const QStringList w = transfers[i].split(' ');
        if (w[2] != "write" || w[4].toInt() > 4 || transfers[i - 1].split(' ')[2] != "read")
            continue;
        ++rewrites;
        QCOMPARE(transfers[i + 1].split(' ').mid(2, 3), QStringList({"read", w[3], w[4]}));
        QVERIFY(microseconds(transfers[i + 1]) - microseconds(transfers[i]) >= 50000);
    }
    QCOMPARE(rewrites, wordRepairs);

    const QByteArray after = device.flash();
    QByteArray expected = before;
    float completed = 0;
    qint64 totalLength = 0;
    for (const ImageComponent &c : components)
        totalLength += c.data.size();
    const QStringList trace = device.trace(QStringLiteral("ERASE|write"));
    QVector<int> writeStarts;
    for (int i = 0; i < run.log.size(); ++i) {
        if (run.log[i] == QLatin1String("t:Started writing to Flash memory..."))
            writeStarts << i;
    }
    for (int i = 0; i < components.size(); ++i) {
        const ImageComponent &c = components[i];
        const int at = int(c.flashAddress);
        const int pages = (c.data.size() + 0x1FFFF) / 0x20000 * 0x20000;
        const QChar state = i < outcome.size() ? outcome.at(i) : QChar('-');
        if (state == 'W') {
            expected.replace(at, pages, QByteArray(pages, char(0xFF)));
            expected.replace(at, c.data.size(), c.data);
            // Each page is erased exactly twice, both times before the component's first write.
            const QString write = QStringLiteral(" write 0x%1 ").arg(at, 0, 16);
            int firstWrite = 0;
            while (!trace.value(firstWrite, write).contains(write))
                ++firstWrite;
            for (int page = at; page < at + pages; page += 0x20000) {
                const QString erase = QStringLiteral("ERASE 0x%1 = 0").arg(page, 0, 16);
                QCOMPARE(trace.mid(0, firstWrite).filter(erase).size(), 2);
                QVERIFY(
                    run.texts.contains(QStringLiteral("Erasing page at 0x%1").arg(page, 0, 16)));
            }
        } else if (state == '?') {
            expected.replace(at, pages, after.mid(at, pages));
        }
        if (c.data.isEmpty()) // no request at all for a component without data
            QVERIFY(device.trace(QStringLiteral("0x%1\\b").arg(at, 0, 16)).isEmpty());
        // The total at the start of a component's write stage: its share and the shares of
        // those before it, by the length of their data.
        const float share = totalLength ? float(c.data.size()) / float(totalLength) : 0;
        const int writeStart = writeStarts.value(i, -1);
        if (state == 'W' && totalLength > 0)
            QCOMPARE(run.log.at(writeStart + 2),
                     "p:" + QString::number(int((0.05f * share + completed) * 100)));
        completed += share;
    }
    QVERIFY2(after == expected, "the flash holds other bytes than expected");
    if (outcome.isEmpty())
        QVERIFY(device.trace(QStringLiteral("ERASE|write")).isEmpty());
    // An image refused for what it is, or where it comes from, never gets the node opened.
    if (outcome.isEmpty() && fired.isEmpty() && holder < 0)
        QVERIFY(device.trace(QStringLiteral("flash open")).isEmpty());

    // Without faults: data moves in 1024-byte requests, and the comparison reports its progress
    // at every hundredth word.
    if (settings.isEmpty() && lastText == done && pageRepairs == 0) {
        int blocks = 0, reports = 0, expectedReports = 0;
        for (const ImageComponent &c : components) {
            blocks += c.data.size() / 1024;
            expectedReports += (c.data.size() + 3) / 4 / 100 + ((c.data.size() + 3) / 4 % 100 > 0);
        }
        QCOMPARE(device.trace(QStringLiteral("write \\S+ 1024 = 1024")).size(), blocks);
        QCOMPARE(device.trace(QStringLiteral("read \\S+ 1024 = 1024")).size(), blocks);
        for (int i = 0; i < run.log.size(); ++i) {
            if (run.log[i] != QLatin1String("t:Verifying Flash memory content."))
                continue;
            while (++i < run.log.size() && !run.log[i].startsWith(QLatin1String("t:")))
                reports += run.log[i].startsWith(QLatin1String("c:"));
        }
        QCOMPARE(reports, expectedReports);
    }

    // A copy holds the pages that the update erased, as they were before it.
    QCOMPARE(run.outcome.copyPath.isEmpty(),
             copy == UpdaterThread::CopyMode::Skip || outcome.isEmpty());
    QList<ComponentRecord> saved;
    QFile copyFile(run.outcome.copyPath);
    QCOMPARE(readImageComponents(run.outcome.copyPath, saved),
             run.outcome.copyPath.isEmpty() ? -1 : 0);
    QCOMPARE(copyFile.open(QIODevice::ReadOnly), !run.outcome.copyPath.isEmpty());
    QCOMPARE(saved.size(), run.outcome.copyPath.isEmpty() ? 0 : components.size());
    for (const ComponentRecord &page : saved) {
        copyFile.seek(page.fileOffset + 32);
        QCOMPARE(copyFile.read(page.dataLength()),
                 before.mid(int(page.flashAddress), int(page.dataLength())));
        QCOMPARE(page.version, 0x05000301u); // the installed software version
    }
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

void TestUpdater::progress_data()
{
    QTest::addColumn<int>("stage");
    QTest::addColumn<float>("fraction");
    QTest::addColumn<float>("componentShare");
    QTest::addColumn<float>("completedShare");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("total");
    QTest::newRow("start") << 0 << 0.0f << 0.0f << 0.0f << 0 << 0;
    QTest::newRow("erased, one component") << 0 << 1.0f << 1.0f << 0.0f << 100 << 5;
    QTest::newRow("write stage begins") << 1 << 0.0f << 1.0f << 0.0f << 0 << 5;
    QTest::newRow("half written, second half") << 1 << 0.5f << 0.5f << 0.5f << 50 << 74;
    // A page repair starts the read-back anew: from 99 the bars go back to 93.
    QTest::newRow("read-back begins") << 2 << 0.0f << 1.0f << 0.0f << 0 << 93;
    QTest::newRow("compare begins") << 3 << 0.0f << 1.0f << 0.0f << 0 << 97;
    QTest::newRow("compare nearly done") << 3 << 0.99f << 1.0f << 0.0f << 99 << 99;
    QTest::newRow("truncated, not rounded") << 1 << 0.999f << 1.0f << 0.0f << 99 << 92;
    // Shares by data length: 0x10000 and 0x30000 bytes give 0.25 and 0.75.
    const QVector<float> shares = componentShares(
        {{0, 0, 0, 0x10000 + 32, 0, {}}, {0, 0x20000, 0, 0x30000 + 32, 0x10020, {}}});
    QTest::newRow("second of two begins") << 0 << 0.0f << shares[1] << shares[0] << 0 << 25;
    QTest::newRow("second of two written") << 2 << 0.0f << shares[1] << shares[0] << 0 << 94;
}

void TestUpdater::progress()
{
    QFETCH(int, stage);
    QFETCH(float, fraction);
    QFETCH(float, componentShare);
    QFETCH(float, completedShare);
    const ProgressValues values = progressValues(stage, fraction, componentShare, completedShare);
    QTEST(values.current, "current");
    QTEST(values.total, "total");
}

// Only an update that ends in "Done" lets old copies go, and then all but the newest five that
// no record names: the copy that holds the pages a failed update left is kept.
void TestUpdater::copiesKept()
{
    SimulatedDevice device;
    const StateFolder folder;
    for (int day = 1; day <= 6; ++day)
        QFile(folder.path(StateFolder::Copies) +
              QStringLiteral("/flash-2026110%1-120000.tarnru").arg(day))
            .open(QIODevice::WriteOnly);
    device.set("ERASE_FAIL", "0x40000:1");
    const Run failed = runUpdate(device.makeImage({part("A", 0x40000, 5000)}), {}, {},
                                 UpdaterThread::CopyMode::Save);
    QCOMPARE(failed.outcome.result, UpdateOutcome::Failed);
    QCOMPARE(FlashCopies::list(folder).size(), 7);
    const Run run = runUpdate(device.makeImage({part("B", 0x100000, 5000)}, "b.tarnru"), {}, {},
                              UpdaterThread::CopyMode::Save);
    QCOMPARE(run.outcome.result, UpdateOutcome::Written);
    QStringList kept;
    for (const FlashCopies::Copy &copy : FlashCopies::list(folder))
        kept << copy.path.section('/', -1);
    QCOMPARE(kept, QStringList({run.outcome.copyPath.section('/', -1),
                                failed.outcome.copyPath.section('/', -1),
                                "flash-20261106-120000.tarnru", "flash-20261105-120000.tarnru",
                                "flash-20261104-120000.tarnru", "flash-20261103-120000.tarnru"}));
}

QTEST_GUILESS_MAIN(TestUpdater)
#include "TestUpdater.moc"
