// vorlan-bench: what the tool costs next to the device it programs. Run it with the driver
// simulator preloaded (scripts/bench.sh); every figure is measured within this one run.

#include "FlashVerifier.h"
#include "ImageDigest.h"
#include "ImageReader.h"
#include "ImageWriter.h"
#include "MainWindow.h"
#include "SignatureCheck.h"
#include "TimeDisplay.h"
#include "UpdaterThread.h"
#include "VorlanDriver.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr quint32 MiB = 1024 * 1024;
constexpr int runs = 5;

QElapsedTimer clock0;
std::atomic<qint64> flashClosedAt{0};
std::atomic<int> flashFd{-1};
std::atomic<qint64> updateFinishedAt{0};

qint64 nowNs()
{
    return clock0.nsecsElapsed();
}

} // namespace

// The worker's own open and close of the flash node pass through here, so that the moment it
// closes the node, right before it emits finished(), can be taken.
extern "C" int open(const char *path, int flags, ...)
{
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list args;
        va_start(args, flags);
        mode = va_arg(args, mode_t);
        va_end(args);
    }
    static const auto real =
        reinterpret_cast<int (*)(const char *, int, ...)>(dlsym(RTLD_NEXT, "open"));
    const int fd = real(path, flags, mode);
    if (std::strcmp(path, flashNodePath) == 0)
        flashFd = fd;
    return fd;
}

// The checked form that a fortified build calls where the flags are not known when compiling.
extern "C" int __open_2(const char *path, int flags)
{
    static const auto real =
        reinterpret_cast<int (*)(const char *, int)>(dlsym(RTLD_NEXT, "__open_2"));
    const int fd = real(path, flags);
    if (std::strcmp(path, flashNodePath) == 0)
        flashFd = fd;
    return fd;
}

extern "C" int close(int fd)
{
    if (fd >= 0 && fd == flashFd.load()) {
        flashClosedAt = nowNs();
        flashFd = -1;
    }
    static const auto real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "close"));
    return real(fd);
}

namespace {

void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (message == QLatin1String("void MainWindow::updateFinished()"))
        updateFinishedAt = nowNs();
    // The verdicts, and the offscreen platform's note on every change of the window's size
    // limits, would bury the figures.
    if (type != QtDebugMsg && type != QtInfoMsg &&
        !message.contains(QLatin1String("propagateSizeHints")))
        fprintf(stderr, "%s\n", qPrintable(message));
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Image
{
    QString path;
    QList<ImageComponent> components;
    quint32 bytes = 0;
    quint32 largest = 0;
    quint32 pages = 0;
};

// Three components of 3/4, 3/16 (plus 333 bytes, so not a multiple of 1024) and the rest of the
// total, at page-aligned addresses.
Image makeImage(const QString &path, quint32 total)
{
    const quint32 sizes[] = {total / 4 * 3, total / 16 * 3 + 333, 0};
    quint32 rest = total - sizes[0] - sizes[1];
    Image image{path, {}, total, sizes[0], 0};
    quint32 address = 0;
    quint32 seed = 1;
    for (quint32 size : {sizes[0], sizes[1], rest}) {
        QByteArray data(int(size - 32), Qt::Uninitialized);
        for (char &byte : data)
            byte = char((seed = seed * 1664525u + 1013904223u) >> 24);
        image.components.append(
            {QStringLiteral("C%1").arg(image.components.size()), 0x01000000, address, 1, data});
        const quint32 pages = (size + flashPageSize - 1) / flashPageSize;
        image.pages += pages;
        address += pages * flashPageSize;
    }
    const QString error = writeUpdateImage(path, image.components);
    if (!error.isEmpty())
        qFatal("%s", qPrintable(error));
    return image;
}

// What the window's slots do, to plain values.
struct Receiver
{
    int current = 0;
    int total = 0;
    QString status;
    QString elapsed;
    QString remaining;
};

// The worker's whole update in its own thread, its reports queued to this thread. Seconds.
double headlessUpdate(const QString &path,
                      UpdaterThread::CopyMode copy = UpdaterThread::CopyMode::Skip)
{
    QThread thread;
    auto *worker = new UpdaterThread;
    worker->setFilename(path);
    worker->setCopyMode(copy);
    worker->moveToThread(&thread);
    QObject context;
    Receiver receiver;
    QElapsedTimer elapsed;
    QEventLoop loop;
    QObject::connect(&thread, &QThread::started, worker, &UpdaterThread::process);
    QObject::connect(worker, &UpdaterThread::updateCurrentProgress, &context,
                     [&](int value) { receiver.current = value; });
    QObject::connect(worker, &UpdaterThread::updateTotalProgress, &context, [&](int value) {
        receiver.total = value;
        const qint64 seconds = elapsed.elapsed() / 1000;
        receiver.elapsed = durationText(quint32(seconds));
        receiver.remaining = remainingTimeText(seconds, elapsed.elapsed(), value);
    });
    QObject::connect(worker, &UpdaterThread::updateStatusText, &context,
                     [&](const QString &text) { receiver.status = text; });
    QObject::connect(worker, &UpdaterThread::finished, &context, [&] { loop.quit(); });
    QObject::connect(worker, &UpdaterThread::finished, worker, &QObject::deleteLater);
    elapsed.start();
    thread.start();
    loop.exec();
    const double seconds = elapsed.nsecsElapsed() / 1e9;
    thread.quit();
    thread.wait();
    if (!receiver.status.startsWith(QLatin1String("Done")))
        qFatal("the update failed: %s", qPrintable(receiver.status));
    return seconds;
}

struct Floor
{
    double seconds;
    double readSeconds; // the image read again, the reads and the comparison
};

// The same system calls on the same node without the tool: two erases of every page, the
// component read from the image, 1024-byte writes, the image read again, 1024-byte reads and
// the comparison.
Floor floorUpdate(const Image &image)
{
    std::vector<char> fileBuffer(0x2000000), flashBuffer(0x2000000);
    QElapsedTimer elapsed;
    elapsed.start();
    QFile file(image.path);
    file.open(QIODevice::ReadOnly);
    const int fd = ::open(flashNodePath, O_RDWR);
    ioctl(fd, IOCTL_FLASH_UNLOCK, unlockToken);
    qint64 offset = 0;
    quint32 differences = 0;
    qint64 moved = 0; // by the writes and reads, checked with the differences
    qint64 readNs = 0;
    for (const ImageComponent &component : image.components) {
        const quint32 length = quint32(component.data.size()) + 32;
        for (int erase = 0; erase < 2; ++erase) {
            for (quint32 page = 0; page < length; page += flashPageSize)
                ioctl(fd, IOCTL_FLASH_ERASE, component.flashAddress + page);
        }
        qint64 readStart = 0;
        for (char *buffer : {fileBuffer.data(), flashBuffer.data()}) {
            readStart = elapsed.nsecsElapsed();
            file.seek(offset + 32);
            file.read(fileBuffer.data(), length);
            lseek(fd, component.flashAddress, SEEK_SET);
            quint32 at = 0;
            for (; at + 1024 <= length; at += 1024) {
                if (buffer == fileBuffer.data())
                    moved += ::write(fd, buffer + at, 1024);
                else
                    moved += ::read(fd, buffer + at, 1024);
            }
            if (buffer == fileBuffer.data())
                moved += ::write(fd, buffer + at, length - at);
            else
                moved += ::read(fd, buffer + at, length - at);
        }
        for (quint32 at = 0; at + 4 <= length; at += 4)
            differences += std::memcmp(fileBuffer.data() + at, flashBuffer.data() + at, 4) != 0;
        readNs += elapsed.nsecsElapsed() - readStart;
        offset += length;
    }
    ::close(fd);
    const double seconds = elapsed.nsecsElapsed() / 1e9;
    if (differences > 32)
        qFatal("the floor loop left %u differences", differences);
    if (moved != 2 * offset)
        qFatal("the floor loop moved %lld bytes of %lld", moved, 2 * offset);
    return {seconds, readNs / 1e9};
}

// The read-only comparison of a flash that holds the image: every byte is read and compared.
double verifyTime(const QString &path)
{
    QElapsedTimer elapsed;
    elapsed.start();
    FlashVerifier verifier;
    if (verifier.verify(path) != FlashVerifier::Matches)
        qFatal("the verify failed: %s", qPrintable(verifier.text()));
    return elapsed.nsecsElapsed() / 1e9;
}

// The read that the update made before it checked signatures: each component's data once, for
// its CRC-32.
double checksumPass(const Image &image)
{
    QElapsedTimer elapsed;
    elapsed.start();
    QFile file(image.path);
    file.open(QIODevice::ReadOnly);
    QByteArray block(int(flashPageSize), Qt::Uninitialized);
    qint64 offset = 0;
    for (const ImageComponent &component : image.components) {
        file.seek(offset + 32);
        uLong crc = crc32_z(0, nullptr, 0);
        for (qint64 done = 0; done < component.data.size(); done += flashPageSize) {
            const qint64 count = std::min<qint64>(component.data.size() - done, flashPageSize);
            file.read(block.data(), count);
            crc = crc32_z(crc, reinterpret_cast<const Bytef *>(block.constData()), z_size_t(count));
        }
        offset += component.data.size() + 32;
    }
    return elapsed.nsecsElapsed() / 1e9;
}

// The read that replaces it: the CRC-32s, the SHA-256 and gpgv's check, as the update makes it.
double digestPass(const QString &path, bool isSigned)
{
    QElapsedTimer elapsed;
    elapsed.start();
    QFile file;
    QList<ComponentRecord> components;
    QString problem;
    if (!openImageFile(file, path, &problem) ||
        readImageComponents(file, components, &problem) != 0)
        qFatal("cannot read %s: %s", qPrintable(path), qPrintable(problem));
    ImageDigest digest(path, components);
    if (!digest.read(file) || (digest.signature().status == SignatureResult::Good) != isSigned)
        qFatal("the image was refused: %s", qPrintable(digest.refusal()));
    return elapsed.nsecsElapsed() / 1e9;
}

void gpg(const QString &home, const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("LD_PRELOAD");
    process.setProcessEnvironment(environment);
    process.start("gpg", QStringList{"--homedir", home, "--batch", "--yes", "--quiet"} + arguments);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        qFatal("gpg %s failed", qPrintable(arguments.join(' ')));
}

// Signs a copy of the image with a key made for this run and trusts only that key, with a policy
// that still takes the unsigned images of the other cases; returns the copy's path.
QString signedCopy(const QTemporaryDir &dir, const Image &image)
{
    const QString home = dir.filePath("gnupg");
    QDir().mkpath(home);
    QFile::setPermissions(home,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString keyrings = dir.filePath("etc/keyrings");
    QDir().mkpath(keyrings);
    qputenv("VORLAN_UPDATE_SYSCONFDIR", QFile::encodeName(dir.filePath("etc")));
    qputenv("VORLAN_UPDATE_DATADIR", QFile::encodeName(dir.filePath("share")));
    QFile policy(dir.filePath("etc/vorlan-update.conf"));
    if (!policy.open(QIODevice::WriteOnly) || policy.write("[Signatures]\nRequired=no\n") < 0)
        qFatal("cannot write the policy");
    policy.close();
    const QString path = dir.filePath("signed.tarnru");
    QFile::copy(image.path, path);
    gpg(home, {"--passphrase", "", "--quick-gen-key", "Bench <bench@example.invalid>", "ed25519",
               "sign"});
    gpg(home, {"--output", keyrings + "/bench.gpg", "--export", "bench@example.invalid"});
    gpg(home, {"--output", path + ".sig", "--detach-sign", path});
    QProcess::execute("gpgconf", {"--homedir", home, "--kill", "all"});
    return path;
}

struct WindowRun
{
    double seconds;
    double longestStallMs;
    double finishDelayMs;
};

// One update through a real window, the confirmation accepted from a timer.
WindowRun windowUpdate(const QString &path)
{
    MainWindow window;
    window.show();
    QCoreApplication::processEvents();
    window.findChild<QLineEdit *>("filenameLineEdit")->setText(path);
    auto *button = window.findChild<QPushButton *>("startUpdateButton");

    qint64 lastBeat = 0;
    qint64 longestGap = 0;
    bool running = false;
    QTimer heartbeat;
    heartbeat.setInterval(5);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 now = nowNs();
        if (running && lastBeat)
            longestGap = std::max(longestGap, now - lastBeat);
        lastBeat = now;
    });
    // Accepts the confirmation as soon as it is up.
    QTimer confirm;
    confirm.setInterval(10);
    QObject::connect(&confirm, &QTimer::timeout, [&] {
        if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
            confirm.stop();
            dialog->accept();
        }
    });
    confirm.start();
    updateFinishedAt = 0;
    button->click();
    const qint64 start = nowNs();
    running = true;
    lastBeat = start;
    heartbeat.start();
    while (!button->isEnabled())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const qint64 end = updateFinishedAt;
    running = false;
    heartbeat.stop();
    if (!window.findChild<QLabel *>("statusLabel")->text().startsWith(QLatin1String("Done")))
        qFatal("the window's update failed");
    // Let the worker and its thread delete themselves before the next run.
    QTimer::singleShot(50, [] {});
    QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    return {(end - start) / 1e9, longestGap / 1e6, (end - flashClosedAt) / 1e6};
}

// Run in a process of its own: one update through the window; prints the resident memory of
// the idle window and the peak, in KiB.
int memoryChild(int argc, char **argv)
{
    QApplication application(argc, argv);
    qInstallMessageHandler(quietMessages);
    clock0.start();
    MainWindow window;
    window.show();
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    const long idle = usage.ru_maxrss;
    windowUpdate(QString::fromLocal8Bit(argv[2]));
    getrusage(RUSAGE_SELF, &usage);
    printf("%ld %ld\n", idle, usage.ru_maxrss);
    return 0;
}

struct Memory
{
    double idleMiB;
    double peakMiB;
};

Memory measureMemory(const QString &program, const QString &image)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(program, {"--memory", image});
    child.waitForFinished(-1);
    const QList<QByteArray> fields = child.readAllStandardOutput().simplified().split(' ');
    if (fields.size() != 2)
        qFatal("the memory run failed");
    return {fields[0].toDouble() / 1024, fields[1].toDouble() / 1024};
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--memory") == 0)
        return memoryChild(argc, argv);

    QApplication application(argc, argv);
    qInstallMessageHandler(quietMessages);
    clock0.start();
    const QString output = argc > 1 ? QString::fromLocal8Bit(argv[1]) : "vorlan-bench.json";
    QTemporaryDir dir;
    qputenv("VORLAN_SIM_FLASH", QFile::encodeName(dir.filePath("flash.bin")));
    qputenv("VORLAN_SIM_FLASH_SIZE", QByteArray::number(64 * MiB));
    // The window saves a copy of the flash before each update, in the peak memory figures too;
    // the copies go with the folder.
    qputenv("VORLAN_UPDATE_STATEDIR", QFile::encodeName(dir.filePath("state")));
    for (const char *name :
         {"VORLAN_SIM_ERASE_US", "VORLAN_SIM_WRITE_US_PER_KIB", "VORLAN_SIM_TRACE"})
        qunsetenv(name);
    QTextStream out(stdout);
    out.setCodec("UTF-8");
    QJsonObject json;

    // The tool's own cost, against a device that takes no time at all.
    const Image big = makeImage(dir.filePath("32mib.tarnru"), 32 * MiB);
    std::vector<double> updates, floors, floorReads, verifies;
    for (int i = 0; i < runs; ++i) {
        updates.push_back(headlessUpdate(big.path));
        const Floor floorRun = floorUpdate(big);
        floors.push_back(floorRun.seconds);
        floorReads.push_back(floorRun.readSeconds);
        verifies.push_back(verifyTime(big.path));
    }
    const double update = median(updates), floor = median(floors);
    const double floorRead = median(floorReads), verify = median(verifies);
    const double costPerMiB = (update - floor) * 1000 / 32;
    out << "The tool's own cost (32 MiB, 3 components, device time zero, median of " << runs
        << ")\n";
    out << QString("  update %1 s, floor %2 s, ratio %3, own cost %4 ms/MiB (goal <= 15)\n")
               .arg(update, 0, 'f', 3)
               .arg(floor, 0, 'f', 3)
               .arg(update / floor, 0, 'f', 2)
               .arg(costPerMiB, 0, 'f', 2);
    out << QString("  verify %1 s, the floor's reads %2 s, ratio %3 (goal <= 1.00)\n")
               .arg(verify, 0, 'f', 3)
               .arg(floorRead, 0, 'f', 3)
               .arg(verify / floorRead, 0, 'f', 2);
    out.flush();
    json["update_s"] = update;
    json["verify_s"] = verify;
    json["floor_read_s"] = floorRead;
    json["verify_over_floor_read"] = verify / floorRead;

    // The same update through the command line, a process of its own that prints every line
    // a script would read.
    std::vector<double> commandLine;
    for (int i = 0; i < 3; ++i) {
        QProcess flash;
        QElapsedTimer elapsed;
        elapsed.start();
        flash.start(VORLAN_FLASH_BINARY, {"update", big.path, "--yes", "--no-copy"});
        if (!flash.waitForFinished(120000) || flash.exitCode() != 0)
            qFatal("vorlan-flash failed: %s", flash.readAllStandardError().constData());
        commandLine.push_back(elapsed.nsecsElapsed() / 1e9);
    }
    out << QString("  vorlan-flash %1 s, over the headless update %2 (goal <= 1.10)\n")
               .arg(median(commandLine), 0, 'f', 3)
               .arg(median(commandLine) / update, 0, 'f', 3);
    json["command_line_s"] = median(commandLine);
    json["command_line_over_headless"] = median(commandLine) / update;
    json["floor_s"] = floor;
    json["update_over_floor"] = update / floor;
    json["own_cost_ms_per_mib"] = costPerMiB;

    // What checking where the image comes from costs: the same bytes signed and unsigned, each
    // run next to the other, and the read that checks them against the one it replaced.
    const QString signedPath = signedCopy(dir, big);
    std::vector<double> signedUpdates, unsignedUpdates, signedPasses, unsignedPasses, crcPasses;
    for (int i = 0; i < runs; ++i) {
        unsignedUpdates.push_back(headlessUpdate(big.path));
        signedUpdates.push_back(headlessUpdate(signedPath));
        signedPasses.push_back(digestPass(signedPath, true));
        unsignedPasses.push_back(digestPass(big.path, false));
        crcPasses.push_back(checksumPass(big));
    }
    const double unsignedUpdate = median(unsignedUpdates);
    const double added = median(signedPasses) - median(crcPasses);
    // What the signature alone adds: each signed read against the unsigned one beside it.
    std::vector<double> signatureCosts;
    for (int i = 0; i < runs; ++i)
        signatureCosts.push_back(signedPasses[size_t(i)] - unsignedPasses[size_t(i)]);
    const double signatureCost = median(signatureCosts);
    out << "Signature and SHA-256 (same image, median of " << runs << ", checked by "
        << (SignatureCheck::preferred() == SignatureCheck::Verifier::Sqv ? "sqv" : "gpgv") << ")\n";
    out << QString("  update signed %1 s, unsigned %2 s, ratio %3\n")
               .arg(median(signedUpdates), 0, 'f', 3)
               .arg(unsignedUpdate, 0, 'f', 3)
               .arg(median(signedUpdates) / unsignedUpdate, 0, 'f', 3);
    out << QString("  checking read signed %1 ms, unsigned %2 ms, the CRC read it replaced %3 ms: "
                   "the SHA-256 and signature add %4 % to the update\n")
               .arg(median(signedPasses) * 1000, 0, 'f', 1)
               .arg(median(unsignedPasses) * 1000, 0, 'f', 1)
               .arg(median(crcPasses) * 1000, 0, 'f', 1)
               .arg(added / unsignedUpdate * 100, 0, 'f', 1);
    out << QString("  the signature adds %1 ms, %2 % of an unsigned update (goal <= 5)\n")
               .arg(signatureCost * 1000, 0, 'f', 1)
               .arg(signatureCost / unsignedUpdate * 100, 0, 'f', 1);
    out.flush();
    json["signed_update_s"] = median(signedUpdates);
    json["unsigned_update_s"] = unsignedUpdate;
    json["signed_pass_ms"] = median(signedPasses) * 1000;
    json["unsigned_pass_ms"] = median(unsignedPasses) * 1000;
    json["crc_pass_ms"] = median(crcPasses) * 1000;
    json["signature_and_sha256_percent"] = added / unsignedUpdate * 100;
    json["signature_percent"] = signatureCost / unsignedUpdate * 100;

    // The window under the flood of reports.
    // Each window run next to a headless run, so that both see the same machine.
    std::vector<double> windowTimes, headlessTimes, stalls, delays;
    for (int i = 0; i < 3; ++i) {
        headlessTimes.push_back(headlessUpdate(big.path));
        const WindowRun run = windowUpdate(big.path);
        windowTimes.push_back(run.seconds);
        stalls.push_back(run.longestStallMs);
        delays.push_back(run.finishDelayMs);
    }
    const double windowTime = median(windowTimes);
    out << "The window under the flood (same image, median of 3)\n";
    out << QString("  longest stall %1 ms (goal < 50), finished to updateFinished %2 ms (goal < "
                   "100), window / headless %3 (goal <= 1.2)\n")
               .arg(median(stalls), 0, 'f', 1)
               .arg(median(delays), 0, 'f', 1)
               .arg(windowTime / median(headlessTimes), 0, 'f', 2);
    json["window_longest_stall_ms"] = median(stalls);
    json["window_finish_delay_ms"] = median(delays);
    json["window_over_headless"] = windowTime / median(headlessTimes);

    // Memory, each in a process of its own.
    const Image small = makeImage(dir.filePath("1mib.tarnru"), MiB);
    const QString self = QCoreApplication::applicationFilePath();
    out << "Peak resident memory (update through the window)\n";
    QJsonArray memory;
    for (const Image *image : {&big, &small}) {
        const Memory m = measureMemory(self, image->path);
        const double budget = m.idleMiB + 2.0 * image->largest / MiB;
        out << QString("  %1 MiB image: idle %2 MiB, peak %3 MiB, goal <= %4 MiB\n")
                   .arg(image->bytes / MiB)
                   .arg(m.idleMiB, 0, 'f', 1)
                   .arg(m.peakMiB, 0, 'f', 1)
                   .arg(budget, 0, 'f', 1);
        memory.append(QJsonObject{{"image_mib", int(image->bytes / MiB)},
                                  {"idle_mib", m.idleMiB},
                                  {"peak_mib", m.peakMiB},
                                  {"goal_mib", budget}});
    }
    json["memory"] = memory;

    // Growth with the image size.
    out << "Growth (headless update, median of 3)\n";
    QJsonArray growth;
    for (quint32 size : {1u, 4u, 16u, 32u}) {
        const Image image = makeImage(dir.filePath(QString("%1.tarnru").arg(size)), size * MiB);
        std::vector<double> times;
        for (int i = 0; i < 3; ++i)
            times.push_back(headlessUpdate(image.path));
        const double perMiB = median(times) * 1000 / size;
        out << QString("  %1 MiB: %2 s, %3 ms/MiB\n")
                   .arg(size, 2)
                   .arg(median(times), 0, 'f', 3)
                   .arg(perMiB, 0, 'f', 2);
        growth.append(QJsonObject{{"image_mib", int(size)}, {"ms_per_mib", perMiB}});
    }
    json["growth"] = growth;

    // A realistic pace: a typical NOR part, page erase 0.5 s, programming 1 MiB/s.
    const Image paced = makeImage(dir.filePath("paced.tarnru"), MiB);
    qputenv("VORLAN_SIM_ERASE_US", "500000");
    qputenv("VORLAN_SIM_WRITE_US_PER_KIB", "977");
    const double pacedTime = headlessUpdate(paced.path);
    const double deviceTime = 2 * paced.pages * 0.5 + paced.bytes / 1024.0 * 977e-6;
    out << "A realistic pace (1 MiB, erase 0.5 s/page, 1 MiB/s)\n";
    out << QString("  tool %1 s, device %2 s, ratio %3 (goal <= 1.02)\n")
               .arg(pacedTime, 0, 'f', 2)
               .arg(deviceTime, 0, 'f', 2)
               .arg(pacedTime / deviceTime, 0, 'f', 3);
    json["paced_tool_s"] = pacedTime;
    json["paced_device_s"] = deviceTime;
    json["paced_ratio"] = pacedTime / deviceTime;
    const double pacedWithCopy = headlessUpdate(paced.path, UpdaterThread::CopyMode::Save);
    out << QString("  with a copy of the flash first: tool %1 s, over the update without %2 (goal "
                   "<= 1.10)\n")
               .arg(pacedWithCopy, 0, 'f', 2)
               .arg(pacedWithCopy / pacedTime, 0, 'f', 3);
    json["paced_with_copy_s"] = pacedWithCopy;
    json["paced_copy_ratio"] = pacedWithCopy / pacedTime;

    QFile file(output);
    if (file.open(QIODevice::WriteOnly))
        file.write(QJsonDocument(json).toJson());
    out << "Figures written to " << output << '\n';
    return 0;
}
