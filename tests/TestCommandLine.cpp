// vorlan-flash as people and scripts run it: the real program against the simulated driver, one
// row an outcome, with its exit status, what it prints and what the flash holds afterwards.

#include "FlashCopies.h"
#include "SigningKeys.h"
#include "SimulatedDevice.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QtTest>

#include <sys/file.h>

namespace {

// One command line: %1 the image, %2 the newest copy of the flash, %3 an image the update
// refuses, %H the image's SHA-256. What it prints must hold each of the shown texts, in which
// %fpr(KEY) and %id(KEY) stand for a key's fingerprint and long key id.
struct Run
{
    QString command;
    int exitCode;
    QStringList shown;
};

const QString written = "All 2 components were written and verified.";
const QString unchanged = "The flash was not changed. It is safe to restart the computer.";
const QString failed = QStringLiteral(
    "Update failed at component KERN (2 of 2, at 0x100000). The flash does not hold this image: "
    "do not restart the computer before an update has ended with \"Done\". A copy of the flash "
    "as it was before is in %2.");
const QString busy = QStringLiteral(
    "Another program is updating the flash. Do not restart the computer before it has finished.");
const QString offPage = "Component at 0x10000 does not start on a flash page.";

QString json(const QString &outcome, QString text, const QString &copy = {},
             const QString &component = {})
{
    const auto value = [](const QString &s) { return s.isEmpty() ? "null" : '"' + s + '"'; };
    return QString(R"({"event":"verdict","outcome":"%1","text":"%2","component":%3,"copy":%4})")
        .arg(outcome, text.replace('"', "\\\""), value(component), value(copy));
}

// The image event's end: its signature and SHA-256.
QString origin(const QString &status, const QString &signer = {}, const QString &fingerprint = {})
{
    const auto value = [](const QString &s) { return s.isEmpty() ? "null" : '"' + s + '"'; };
    return QString(R"("signature":{"fingerprint":%1,"signer":%2,"status":"%3"},"sha256":"%H"})")
        .arg(value(fingerprint), value(signer), status);
}

const QString vendor = "Vendor Test <vendor@example.invalid>";
const QString notMatching = "The signature %1.sig does not match the update image %1.";
const QString zeros(64, '0');

} // namespace

Q_DECLARE_METATYPE(Run)
using Runs = QList<Run>;
using Settings = QList<QPair<QByteArray, QByteArray>>;

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { keys = new SigningKeys; }
    void cleanupTestCase() { delete keys; }
    void outcome_data();
    void outcome();

private:
    SigningKeys *keys = nullptr;
};

void TestCommandLine::outcome_data()
{
    // The simulator's settings until a restore, "held" (the flash) and "terminal" (for the runs).
    QTest::addColumn<Settings>("settings");
    QTest::addColumn<Runs>("runs");
    QTest::addColumn<bool>("holdsImage"); // or else the flash is as it was before the row

    QTest::newRow("written and verified")
        << Settings{}
        << Runs{{"update %1 --yes", 0, {"\nDone updating.", written}},
                {"--json update %1 --yes", 0, {json("written", written, "%2")}}}
        << true;
    QTest::newRow("image refused")
        << Settings{}
        << Runs{{"update %3 --yes", 2, {offPage, unchanged}},
                {"update %3 --yes --json", 2, {json("unchanged", unchanged)}}}
        << false;
    QTest::newRow("erase refused, then restored")
        << Settings{{"ERASE_FAIL", "0x100000:1"}}
        << Runs{{"update %1 --yes", 1, {"Error erasing page at 0x100000", failed}},
                {"restore --yes", 0, {"The last update (%1, started ", written}}}
        << false;
    QTest::newRow("erase refused, then restored, json")
        << Settings{{"ERASE_FAIL", "0x100000:1"}}
        << Runs{{"--json update %1 --yes", 1, {json("failed", failed, "%2", "KERN")}},
                {"--json restore --yes", 0, {json("written", written)}}}
        << false;
    QTest::newRow("driver missing")
        << Settings{{"FLASH_NODE", "missing"}, {"MAILBOX", "missing"}}
        << Runs{{"update %1 --yes", 3, {"Error opening /dev/tarn_flash", unchanged}},
                {"--json update %1 --yes", 3, {json("unchanged", unchanged)}},
                {"versions", 3, {"The VORLAN driver cannot be reached through /dev/tarn_mailbox."}}}
        << false;
    QTest::newRow("flash held by another program")
        << Settings{{"held", ""}}
        << Runs{{"update %1 --yes", 4, {"being updated by another program.", busy}},
                {"--json update %1 --yes", 4, {json("unchanged", busy)}}}
        << false;
    QTest::newRow("no terminal to ask on")
        << Settings{}
        << Runs{{"update %1", 2, {"There is no terminal to ask on"}},
                {"--json update %1", 2, {R"({"event":"error","text":"With --json, add --yes)"}}}
        << false;
    QTest::newRow("terminal, answered y")
        << Settings{{"terminal", ""}, {"ERASE_US", "100000"}}
        << Runs{{"update %1", 0, {"with these 2 components? [y/N]", "\rerasing ", written}}}
        << true;
    QTest::newRow("queries and usage")
        << Settings{}
        << Runs{{"versions", 0, {"1764710912\nSW version: 1.3.05\nPID version: 0.1.02\n"}},
                {"info %1",
                 0,
                 {"  KERN  1.0.00   0x100000  200032  3\nNot signed\nSHA-256: %H\nAn update would "
                  "take this"}},
                {"info %3", 2, {"An update would refuse this image: " + offPage}},
                {"copies", 0, {"No copy of the flash has been saved"}},
                {"--version", 0, {"vorlan-flash 1.1\n"}},
                {"update", 64, {"Wrong number of arguments for update.\n\nUsage: vorlan-flash"}},
                {"info %1 --sha256 12ab", 64, {"--sha256 takes the 64 hexadecimal digits"}}}
        << false;

    // Where the image comes from: "trust", "required" and "sign" as SigningKeys has them. An
    // update's JSON has the image event, the refusal and the verdict.
    const auto refused = [](const char *name, const Settings &settings, const QString &origin,
                            const QString &why, const QString &options = {}) {
        QTest::newRow(name) << settings
                            << Runs{{"--json update %1 --yes" + options,
                                     2,
                                     {origin, why, json("unchanged", unchanged)}}}
                            << false;
    };
    QTest::newRow("signed by a trusted key")
        << Settings{{"trust", "vendor"}, {"sign", "vendor"}}
        << Runs{{"info %1", 0, {"Signed by " + vendor + ", key \u2026%id(vendor)\nSHA-256: %H\n"}},
                {"--json update %1 --yes",
                 0,
                 {origin("good", vendor, "%fpr(vendor)"), json("written", written, "%2")}}}
        << true;
    refused("one byte changed after signing", {{"trust", "vendor"}, {"sign", "changed"}},
            origin("bad", vendor, "%id(vendor)"), notMatching);
    refused("signed by a key that is not trusted", {{"trust", "vendor"}, {"sign", "stranger"}},
            origin("untrusted", {}, "%fpr(stranger)"), "not trusted (\u2026%id(stranger))");
    refused("signed by an expired key", {{"trust", "old"}, {"sign", "old"}},
            origin("expired", "Old Test <old@example.invalid>", "%fpr(old)"),
            "signed by a key that has expired or been revoked");
    refused("a signature of another file", {{"trust", "vendor"}, {"sign", "other"}},
            origin("bad", vendor, "%id(vendor)"), notMatching);
    // gpgv sees none: a message that holds the image is larger than any detached signature.
    refused("a signed message instead of a detached signature",
            {{"trust", "vendor"}, {"sign", "message"}}, origin("bad"),
            "cannot be checked: it is larger than 64 KiB, which no detached signature is.");
    refused("not signed, Required=yes", {{"required", "yes"}}, origin("none"),
            "vorlan-update.conf requires a signature (Required=yes).");
    refused("not signed, a trusted key", {{"trust", "vendor"}}, origin("none"),
            "a signature is required once a trusted key is installed.");
    refused("another SHA-256", {}, R"("accepted":false)",
            "The SHA-256 of the update image %1 is %H, not the expected " + zeros,
            " --sha256 " + zeros);
    QTest::newRow("not signed, a trusted key, Required=no")
        << Settings{{"trust", "vendor"}, {"required", "no"}}
        << Runs{{"update %1 --yes", 0, {"Not signed\n", written}}} << true;
    QTest::newRow("the published SHA-256")
        << Settings{} << Runs{{"update %1 --yes --sha256 %H", 0, {written}}} << true;
}

void TestCommandLine::outcome()
{
    QFETCH(Settings, settings);
    QFETCH(Runs, runs);
    SimulatedDevice device;
    const QByteArray before = componentData(0x400000, 9);
    device.setFlash(before);
    const QList<ImageComponent> components{
        {"BOOT", 0x01000000, 0x40000, 3, componentData(70000)},
        {"KERN", 0x01000000, 0x100000, 3, componentData(200000, 2)}};
    const QString image = device.makeImage(components);
    const QString bad = device.makeImage({{"U", 0, 0x10000, 0, componentData(100)}}, "u.tarnru");
    QFile holder("/dev/tarn_flash");
    bool terminal = false;
    keys->reset();
    for (const auto &setting : settings) {
        if (setting.first == "trust")
            keys->trust(setting.second);
        else if (setting.first == "required")
            keys->setRequired(setting.second);
        else if (setting.first == "sign")
            keys->sign(setting.second, image);
        else if (setting.first == "held")
            QVERIFY(holder.open(QIODevice::ReadWrite) &&
                    flock(holder.handle(), LOCK_EX | LOCK_NB) == 0);
        else if (setting.first == "terminal")
            terminal = true;
        else
            device.set(setting.first.constData(), setting.second);
    }

    QFile file(image);
    file.open(QIODevice::ReadOnly);
    const QString sha256 =
        QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
    for (const Run &run : runs) {
        if (run.command.contains("restore"))
            for (const auto &setting : settings)
                qunsetenv("VORLAN_SIM_" + setting.first);
        const QStringList arguments = QString(run.command)
                                          .replace("%1", image)
                                          .replace("%3", bad)
                                          .replace("%H", sha256)
                                          .split(' ');
        QProcess tool;
        tool.setProcessChannelMode(QProcess::MergedChannels);
        if (terminal) { // typing "y"; the leak checker is for vorlan-flash, not for script
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            const QString checks = environment.value("ASAN_OPTIONS");
            environment.insert("ASAN_OPTIONS", checks + ":detect_leaks=0");
            tool.setProcessEnvironment(environment);
            const QString command = "ASAN_OPTIONS='" + checks + "' " VORLAN_FLASH_BINARY " '" +
                                    arguments.join("' '") + "'";
            tool.start("timeout", {"20", "script", "-qec", command, "/dev/null"});
            tool.write("y\n");
        } else {
            tool.start(VORLAN_FLASH_BINARY, arguments);
        }
        tool.closeWriteChannel();
        QVERIFY2(tool.waitForFinished(30000), "vorlan-flash did not end");
        const QByteArray output = tool.readAll();
        QVERIFY2(tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == run.exitCode,
                 output.constData());
        const QString newest = FlashCopies::list().value(0).path;
        for (QString text : run.shown) {
            text.replace("%1", image).replace("%2", newest).replace("%H", sha256);
            for (const QByteArray key : {"vendor", "stranger", "old"}) {
                text.replace("%fpr(" + key + ')', keys->fingerprint(key));
                text.replace("%id(" + key + ')', keys->keyId(key));
            }
            QVERIFY2(output.contains(text.toUtf8()), qPrintable(text + "\nnot in:\n" + output));
        }
    }
    const QByteArray flash = device.flash();
    const bool holding = flash.mid(0x40000, 70000) == components[0].data &&
                         flash.mid(0x100000, 200000) == components[1].data;
    QFETCH(bool, holdsImage);
    QVERIFY2(holdsImage ? holding : flash == before, "the flash holds other bytes than expected");
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "TestCommandLine.moc"
