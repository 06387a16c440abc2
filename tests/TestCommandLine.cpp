// vorlan-flash as people and scripts run it: the real program against the simulated driver, one
// row a sequence of commands, with their exit statuses, what they print and what the whole
// flash holds afterwards. Crashes are kills of the process at a write.

#include "FlashCopies.h"
#include "FlashHistory.h"
#include "FlashJournal.h"
#include "SigningKeys.h"
#include "SimulatedDevice.h"
#include "StateFolder.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QtTest>

#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Settings = QList<QPair<QByteArray, QByteArray>>;

// One command line: %1 the image, %2 the first copy of the flash saved, %3 an image the update
// refuses, %4 an image of other pages, %5 the state folder, %6 the newest copy, %H the image's
// SHA-256. What it prints must hold each of the shown texts, and none of those that start with
// "!"; %fpr(KEY) and %id(KEY) stand for a key's fingerprint and long key id. Its settings are
// the simulator's for this run, and "disk": the state folder on a file system of that many KiB.
struct Run
{
    QString command;
    int exitCode; // -9: killed
    QStringList shown;
    Settings settings = {};
};

const QString written = "All 3 components were written and verified.";
const QString unchanged = "The flash was not changed. It is safe to restart the computer.";
const QString failed = QStringLiteral(
    "Update failed at component KERN (2 of 3, at 0x100000). The flash does not hold this image: "
    "do not restart the computer before an update has ended with \"Done\". A copy of the flash "
    "as it was before is in %2.");
const QString busy = QStringLiteral(
    "Another program is updating the flash. Do not restart the computer before it has finished.");
const QString offPage = "Component at 0x10000 does not start on a flash page.";
const QString safe = "!safe to restart";
const QByteArray inKern = "100"; // the 100th write of the image is one of KERN's
const QString matches = "The flash holds this image: every component matches.";
const QString differs =
    "The flash does not hold this image: component CONF (3 of 3, at 0x200000) differs.";
const QString notCompared = "The flash was not compared with this image.";
// A name that clears the screen, sets the window title and turns what follows around.
const QString steering = QStringLiteral("\x1b[2J\x1b]0;x\a\u202e");

QString json(const QString &outcome, QString text, const QString &copy = {},
             const QString &component = {})
{
    const auto value = [](const QString &s) { return s.isEmpty() ? "null" : '"' + s + '"'; };
    return QString(R"({"event":"verdict","outcome":"%1","text":"%2","component":%3,"copy":%4})")
        .arg(outcome, text.replace('"', "\\\""), value(component), value(copy));
}

// Runs vorlan-flash to its end; the output of both channels.
QByteArray runTool(const QStringList &arguments, const Settings &settings, bool terminal,
                   int *exitCode)
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QString disk;
    for (const auto &setting : settings) {
        if (setting.first == "disk")
            disk = setting.second;
        else if (setting.first == "per-user") // as the release before kept it
            environment.insert("VORLAN_UPDATE_STATEDIR",
                               environment.value("XDG_STATE_HOME") + "/vorlan-update");
        else
            environment.insert("VORLAN_SIM_" + setting.first, setting.second);
    }
    QString program = VORLAN_FLASH_BINARY;
    QStringList words = arguments;
    if (!disk.isEmpty()) { // a mount of its own; only vorlan-flash runs with the simulator
        environment.insert("TOOL_PRELOAD", environment.value("LD_PRELOAD"));
        environment.remove("LD_PRELOAD");
        words = QStringList{"-m", "sh", "-c",
                            "mount -t tmpfs -o size=" + disk +
                                "k,mode=0700 tmpfs \"$VORLAN_UPDATE_STATEDIR\" && exec env "
                                "LD_PRELOAD=\"$TOOL_PRELOAD\" \"$0\" \"$@\"",
                            program} +
                words;
        program = "unshare";
    }
    if (terminal) { // the leak checker is for vorlan-flash, not for script
        const QString checks = environment.value("ASAN_OPTIONS");
        environment.insert("ASAN_OPTIONS", checks + ":detect_leaks=0");
        words =
            QStringList{"20", "script", "-qec",
                        "ASAN_OPTIONS='" + checks + "' " + program + " '" + words.join("' '") + "'",
                        "/dev/null"};
        program = "timeout";
    }
    tool.setProcessEnvironment(environment);
    tool.start(program, words);
    QByteArray output;
    if (terminal) { // an answer typed before the question is dropped: it waits for it
        while (!output.contains("[y/N]") && tool.waitForReadyRead(10000))
            output += tool.readAll();
        tool.write("y\n");
    }
    tool.closeWriteChannel();
    if (!tool.waitForFinished(30000))
        qFatal("vorlan-flash did not end");
    *exitCode = tool.exitStatus() == QProcess::CrashExit ? -9 : tool.exitCode();
    return output + tool.readAll();
}

// The image event's end: its signature and SHA-256.
QString origin(const QString &status, const QString &signer = {}, const QString &fingerprint = {})
{
    const auto value = [](const QString &s) { return s.isEmpty() ? "null" : '"' + s + '"'; };
    return QString(R"("signature":{"fingerprint":%1,"signer":%2,"status":"%3"},"sha256":"%H")")
        .arg(value(fingerprint), value(signer), status);
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

// A folder with a gpgv and an sqv that call any signature good.
QString liars(const QString &folder)
{
    const QByteArray gpgv = "#!/bin/sh\ncat >/dev/null\necho '[GNUPG:] NEWSIG'\n"
                            "echo '[GNUPG:] GOODSIG 0123456789ABCDEF Liar <liar@example.invalid>'\n"
                            "echo '[GNUPG:] VALIDSIG 0123456789ABCDEF0123456789ABCDEF01234567'\n";
    const QByteArray sqv = "#!/bin/sh\ncat >/dev/null\n"
                           "echo 0123456789ABCDEF0123456789ABCDEF01234567\n";
    for (const auto &program : {qMakePair(QString("gpgv"), gpgv), qMakePair(QString("sqv"), sqv)}) {
        writeFile(folder + '/' + program.first, program.second);
        QFile::setPermissions(folder + '/' + program.first,
                              QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
    return folder;
}

const QString vendor = "Vendor Test <vendor@example.invalid>";
const QString notMatching = "The signature %1.sig does not match the update image %1.";
const QString zeros(64, '0');

} // namespace

Q_DECLARE_METATYPE(Run)
using Runs = QList<Run>;

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        keys = new SigningKeys;
        umask(077); // a strict one, which must not hide the state folder's files from its group
    }
    void cleanupTestCase() { delete keys; }
    void outcome_data();
    void outcome();
    void history_data();
    void history();
    void systemJournal();

private:
    SigningKeys *keys = nullptr;
};

void TestCommandLine::outcome_data()
{
    // Before the first run: "held" (another program locks the flash), "terminal" (the runs
    // answer on one), "running" (another vorlan-flash updates meanwhile), "link" (the record is
    // a link to another file), "open" (the state folder writable by others), "damaged" (a
    // record of 2 MiB), "steering" (in the image's file name and KERN's name), "holding ADDRESS"
    // (the flash holds the image's data, the byte at the address inverted), "read-only" (no
    // unlock, erase, write or writable open may show in the trace).
    QTest::addColumn<QByteArray>("before");
    // %1 the image, %r the same relative to the folder the tool starts in, %3 an image refused
    QTest::addColumn<Runs>("runs");
    // The whole flash afterwards: as "before" the first run, with the "image" or image %4
    // ("other") in place, or as "after the first" run.
    QTest::addColumn<QString>("flash");

    QTest::newRow("written and verified")
        << QByteArray()
        << Runs{{"update %1 --yes", 0, {"\nDone updating.", written}},
                {"--json update %1 --yes", 0, {json("written", written, "%6")}}}
        << "image";
    QTest::newRow("image refused")
        << QByteArray()
        << Runs{{"update %3 --yes", 2, {offPage, unchanged}},
                {"update %3 --yes --json", 2, {json("unchanged", unchanged)}},
                {"verify %3", 2, {offPage, notCompared}}}
        << "before";
    // The same image again, refused at its first erase: the flash still holds it whole.
    QTest::newRow("erase refused over the same image")
        << QByteArray()
        << Runs{{"update %1 --yes", 0, {written}},
                {"update %1 --yes",
                 1,
                 {"Update failed at component KERN (2 of 3, at 0x100000)."},
                 {{"ERASE_FAIL", "0x100000:1"}}},
                {"restore --yes",
                 2,
                 {"The flash holds the whole image of the update that did "
                  "not finish, as it is compared now"}},
                {"restore --yes", 2, {"No update has left pages", "!did not finish"}}}
        << "image";
    QTest::newRow("erase refused, then put back")
        << QByteArray()
        << Runs{{"--json update %1 --yes",
                 1,
                 {json("failed", failed, "%2", "KERN")},
                 {{"ERASE_FAIL", "0x100000:1"}}},
                {"--json verify %1", 1, {R"(,"differing":2,"unfinished":true})"}},
                {"restore --yes",
                 1,
                 {"Putting the flash back failed at component CONF (3 of 3, at 0x200000). The "
                  "flash at 0x40000 to 0x5ffff, 0x100000 to 0x13ffff, 0x200000 to 0x21ffff is "
                  "still at risk",
                  "!Update failed", safe},
                 {{"ERASE_FAIL", "0x200000:1"}}},
                {"--json restore --yes", 0, {"did not finish", json("written", written)}}}
        << "before";
    // The second failure makes no copy of the half-written pages: the first copy stays the way
    // back, and one step puts the whole flash back.
    QTest::newRow("crash in KERN, the same image fails at CONF, put back")
        << QByteArray()
        << Runs{{"update %1 --yes", -9, {safe}, {{"KILL_AT_WRITE", inKern}}},
                {"update %1 --yes",
                 1,
                 {"The last update (%1, started ",
                  "Update failed at component CONF (3 of 3, at 0x200000).",
                  "A copy of the flash as it was before is in %2.", safe},
                 {{"ERASE_FAIL", "0x200000:1"}}},
                {"restore --yes", 0, {written, "safe to restart"}}}
        << "before";
    // Copies that no record names go, the one it names stays.
    const Run other{"update %4 --yes",
                    1,
                    {"The flash still does not hold a complete image since the update that "
                     "failed at component KERN (2 of 3, at 0x100000)",
                     safe}};
    QTest::newRow("failed, five updates of other pages, put back")
        << QByteArray()
        << Runs{{"update %1 --yes", 1, {failed}, {{"ERASE_FAIL", "0x100000:1"}}},
                other,
                other,
                other,
                other,
                other,
                {"restore --yes", 0, {written, "safe to restart"}}}
        << "other";
    QTest::newRow("two updates of other pages cut, one step back")
        << QByteArray()
        << Runs{{"update %1 --yes", -9, {}, {{"KILL_AT_WRITE", inKern}}},
                {"update %4 --yes", -9, {}, {{"KILL_AT_WRITE", "150"}}},
                {"restore --yes",
                 0,
                 {"The first of 2 unfinished updates (%1, started ",
                  "Copies of the flash as it was before are in %5/copies.",
                  "All 4 components were written and verified.", "safe"}}}
        << "before";
    // A record that the release before kept per user is not lost: its copy puts the flash back.
    QTest::newRow("the record of the release before")
        << QByteArray()
        << Runs{{"update %1 --yes",
                 1,
                 {"Update failed at component KERN"},
                 {{"ERASE_FAIL", "0x100000:1"}, {"per-user", ""}}},
                {"restore --yes",
                 0,
                 {"/per-user/vorlan-update is now kept for the flash of the machine in %5.",
                  written, "safe to restart"}}}
        << "before";
    QTest::newRow("a copy changed on disk")
        << QByteArray()
        << Runs{{"update %1 --yes", 1, {failed}, {{"ERASE_FAIL", "0x100000:1"}}},
                {"restore --yes",
                 2,
                 {"The copy %2 has changed since it was saved."},
                 {{"tamper", ""}}},
                {"restore --yes",
                 2,
                 {"cannot be used: %5/copies/flash-", ".tarnru is missing."},
                 {{"delete", ""}}},
                {"restore --yes",
                 2,
                 {".tarnru is a named pipe, not a regular file."},
                 {{"fifo", ""}}}}
        << "after the first";
    // A full disk is reported, not taken for a saved copy or record.
    QTest::newRow("a copy cut by a full disk")
        << QByteArray()
        << Runs{{"update %1 --yes",
                 2,
                 {"No copy of the flash could be saved: No space left on "
                  "device.",
                  "Add --no-copy"},
                 {{"disk", "512"}}}}
        << "before";
    QTest::newRow("a record that cannot be saved")
        << QByteArray()
        << Runs{{"update %1 --yes",
                 2,
                 {"The record of this update could not be saved: No space "
                  "left on device. The flash was not changed."},
                 {{"disk", "520"}}}}
        << "before";
    // Nothing prints them as they are; JSON carries them exactly, the same in every event.
    QTest::newRow("names that would steer a terminal")
        << QByteArray("steering")
        << Runs{{"update %1 --yes",
                 1,
                 {R"(/\x1b[2J\x1b]0;x\x07\u202e.tarnru: 3 components)", "\n  \\x1b[2J  1.0.00",
                  "Update failed at component 0x100000 (2 of 3)."},
                 {{"ERASE_FAIL", "0x100000:1"}}},
                {"--json update %1 --yes",
                 1,
                 {R"(\u001b[2J\u001b]0;x\u0007\u202e.tarnru, started )",
                  R"({"event":"component","name":"\u001b[2J",)",
                  R"(,"component":"\u001b[2J","copy":null})"},
                 {{"ERASE_FAIL", "0x100000:1"}}},
                {"info %1.gone",
                 2,
                 {R"(\x1b[2J\x1b]0;x\x07\u202e.tarnru.gone: it does not exist)"}},
                {"restore --yes", 0, {"The last update (", written}}}
        << "before";
    QTest::newRow("driver missing")
        << QByteArray()
        << Runs{{"update %1 --yes",
                 3,
                 {"Error opening /dev/tarn_flash: No such file or directory", unchanged},
                 {{"FLASH_NODE", "missing"}}},
                {"verify %1",
                 3,
                 {"Error opening /dev/tarn_flash: No such file or directory", notCompared},
                 {{"FLASH_NODE", "missing"}}},
                {"--json update %1 --yes",
                 3,
                 {json("unchanged", unchanged)},
                 {{"FLASH_NODE", "missing"}}},
                {"versions",
                 3,
                 {"The VORLAN driver cannot be reached through /dev/tarn_mailbox."},
                 {{"MAILBOX", "missing"}}}}
        << "before";
    QTest::newRow("flash held by another program")
        << QByteArray("held")
        << Runs{{"update %1 --yes", 4, {"being updated by another program.", busy}},
                {"--json update %1 --yes", 4, {json("unchanged", busy)}},
                {"verify %1", 4, {"being updated by another program.", "image: another program"}},
                {"update --if-needed %1 --yes", 4, {busy}}}
        << "before";
    // A running update is not one that did not finish.
    QTest::newRow("another vorlan-flash updating now")
        << QByteArray("running")
        << Runs{{"update %1 --yes",
                 4,
                 {"Another program is updating the flash now (process ", "!did not finish"}},
                {"restore --yes", 4, {busy, "!nothing"}}}
        << "image";
    // The state folder: a record that is a link, a folder that others may write.
    QTest::newRow("record is a link")
        << QByteArray("link")
        << Runs{{"update %1 --yes", 2, {"unfinished-update.json is a symbolic link"}}} << "before";
    QTest::newRow("state folder writable by others")
        << QByteArray("open")
        << Runs{{"update %1 --yes",
                 2,
                 {"The state folder cannot be used: %5 is writable by "
                  "others."}},
                {"copies", 2, {"is writable by others"}},
                {"history",
                 2,
                 {"The state folder cannot be used: %5 is writable by others.\n",
                  "!cannot be read"}}}
        << "before";
    QTest::newRow("record damaged")
        << QByteArray("damaged")
        << Runs{{"update %1 --yes",
                 1,
                 {"The record of an earlier update is damaged (%5/"
                  "unfinished-update.json is larger than 1048576 bytes)",
                  written + " The record of an earlier update is damaged (kept as "
                            "%5/damaged-record-",
                  safe}},
                {"restore", 2, {"cannot tell which pages to put back", "restore COPY", safe}},
                // The user's own way out: the copy they pick, then an image checked whole.
                {"restore %2 --yes",
                 1,
                 {written + " The record of an earlier update is damaged", safe}},
                {"clear-damaged %1 --yes",
                 1,
                 {"BOOT (1 of 3, at 0x40000)", "The damaged record stays"}},
                {"update %1 --yes",
                 1,
                 {"is damaged, so the tool cannot tell whether other pages", safe}},
                {"clear-damaged %1",
                 2,
                 {"Clearing the damaged record (kept as %5/damaged-record-",
                  "There is no terminal"}},
                {"clear-damaged %1 --yes",
                 0,
                 {"The damaged record was cleared and is kept as %5/cleared-record-",
                  "It is safe to restart the computer."}},
                {"update %1 --yes", 0, {written + "\n"}},
                {"clear-damaged %1 --yes", 2, {"No damaged record of an update stands"}}}
        << "image";
    QTest::newRow("no terminal to ask on")
        << QByteArray()
        << Runs{{"update %1", 2, {"There is no terminal to ask on"}},
                {"--json update %1", 2, {R"({"event":"error","text":"With --json, add --yes)"}}}
        << "before";
    QTest::newRow("terminal, answered y")
        << QByteArray("terminal")
        << Runs{{"update %1",
                 0,
                 {"with these 3 components? [y/N]", "\rerasing ", written},
                 {{"ERASE_US", "100000"}}}}
        << "image";
    QTest::newRow("queries and usage")
        << QByteArray()
        << Runs{{"versions", 0, {"1764710912\nSW version: 1.3.05\nPID version: 0.1.02\n"}},
                {"info %1",
                 0,
                 {"  CONF  1.0.00   0x200000  5032    3\nNot signed\nSHA-256: %H\nAn update would "
                  "take this"}},
                {"info %3", 2, {"An update would refuse this image: " + offPage}},
                {"copies", 0, {"No copy of the flash has been saved"}},
                {"--version", 0, {"vorlan-flash 1.1\n"}},
                {"update",
                 64,
                 {"vorlan-flash: Wrong number of arguments for update.\nTry 'vorlan-flash "
                  "--help'.\n",
                  "!Usage:"}},
                {"info %1 --if-needed", 64, {"--if-needed applies to update only."}},
                {"info %1 --sha256 12ab", 64, {"--sha256 takes the 64 hexadecimal digits"}}}
        << "before";
    QTest::newRow("verify, every component matches")
        << QByteArray("holding 0 read-only")
        << Runs{{"verify %1",
                 0,
                 {"BOOT at 0x40000 matches the image.\nComponent KERN", matches},
                 {{"SHORT_READ", "3"}}},
                {"--json verify %1",
                 0,
                 {R"({"event":"match","name":"KERN","address":"0x100000","matches":true,)"
                  R"("firstDifference":null})",
                  R"({"event":"verdict","outcome":"matches","text":")" + matches +
                      R"(","component":null,"differing":0,"unfinished":false})"}},
                {"update --if-needed %1", 0, {"matches the image.\nThe flash already holds"}}}
        << "before";
    QTest::newRow("verify, one byte differs in the last component")
        << QByteArray("holding 0x201387")
        << Runs{{"verify %1", 1, {"CONF at 0x200000 differs from the image at 0x201387.", differs}},
                {"--json verify %1",
                 1,
                 {R"("matches":false,"firstDifference":"0x201387"})",
                  R"({"event":"verdict","outcome":"differs","text":")" + differs +
                      R"(","component":"CONF","differing":1,"unfinished":false})"}},
                {"update %1 --if-needed --yes", 0, {"differs from the image", written}}}
        << "image";
    // Only an update that ends in "Done" takes pages off the record: one that did not finish is
    // not made good by a flash that happens to match.
    QTest::newRow("update if needed after an update that did not finish")
        << QByteArray("holding 0")
        << Runs{{"update %1 --yes",
                 1,
                 {"Update failed at component KERN"},
                 {{"ERASE_FAIL", "0x100000:1"}}},
                {"update --if-needed %1 --yes", 0, {"did not finish", written}}}
        << "image";

    // Where the image comes from: "trust=KEY", "required=VALUE" and "sign=HOW" as SigningKeys
    // has them. An update's JSON has the image event, the refusal and the verdict.
    const auto refused = [](const char *name, const QByteArray &before, const QString &origin,
                            const QString &why, const QString &options = {}) {
        QTest::newRow(name) << before
                            << Runs{{"--json update %1 --yes" + options,
                                     2,
                                     {origin, why, json("unchanged", unchanged)}}}
                            << "before";
    };
    QTest::newRow("signed by a trusted key")
        << QByteArray("trust=vendor sign=vendor")
        << Runs{{"info %1", 0, {"Signed by " + vendor + ", key \u2026%id(vendor)\nSHA-256: %H\n"}},
                {"--json update %1 --yes",
                 0,
                 {origin("good", vendor, "%fpr(vendor)"), json("written", written, "%2")}}}
        << "image";
    refused("one byte changed after signing", QByteArray("trust=vendor sign=changed"),
            origin("bad", vendor, "%id(vendor)"), notMatching);
    refused("signed by a key that is not trusted", QByteArray("trust=vendor sign=stranger"),
            origin("untrusted", {}, "%fpr(stranger)"), "not trusted (\u2026%id(stranger))");
    refused("signed by an expired key", QByteArray("trust=old sign=old"),
            origin("expired", "Old Test <old@example.invalid>", "%fpr(old)"),
            "signed by a key that has expired or been revoked");
    QTest::newRow("verify checks the signature")
        << QByteArray("trust=vendor sign=stranger")
        << Runs{{"verify %1", 2, {"not trusted (\u2026%id(stranger))", notCompared}}} << "before";
    refused("a signature of another file", QByteArray("trust=vendor sign=other"),
            origin("bad", vendor, "%id(vendor)"), notMatching);
    // gpgv sees none: a message that holds the image is larger than any detached signature.
    refused("a signed message instead of a detached signature",
            QByteArray("trust=vendor sign=message"), origin("bad"),
            "cannot be checked: it is larger than 64 KiB, which no detached signature is.");
    refused("not signed, Required=yes", QByteArray("required=yes"), origin("none"),
            "vorlan-update.conf requires a signature (Required=yes).");
    refused("not signed, a trusted key", QByteArray("trust=vendor"), origin("none"),
            "a signature is required once a trusted key is installed.");
    refused("another SHA-256", QByteArray(), R"("accepted":false)",
            "The SHA-256 of the update image %1 is %H, not the expected " + zeros,
            " --sha256 " + zeros);
    QTest::newRow("not signed, a trusted key, Required=no")
        << QByteArray("trust=vendor required=no")
        << Runs{{"update %1 --yes", 0, {"Not signed\n", written}}} << "image";
    // Trust roots that someone else could change are not trusted, and still count as installed.
    const QString untrustedVendor = origin("untrusted", {}, "%fpr(vendor)");
    refused("a keyring writable by others",
            QByteArray("trust=vendor sign=vendor chmod=share/keyrings/vendor.gpg:666"),
            untrustedVendor,
            "/share/keyrings/vendor.gpg is writable by others: it is not trusted.");
    refused("a keyring of another user",
            QByteArray("trust=vendor sign=vendor chown=share/keyrings/vendor.gpg"), untrustedVendor,
            "/share/keyrings/vendor.gpg belongs to another user: it is not trusted.");
    refused("a keyring linked from a folder writable by others",
            QByteArray("trust=vendor sign=vendor link=share/keyrings/vendor.gpg "
                       "chmod=share/keyrings:777"),
            untrustedVendor,
            "vendor.gpg is not trusted: the folder " + QString("%share/keyrings") +
                " is writable by others.");
    refused("a folder above the keyrings of another user",
            QByteArray("trust=vendor sign=vendor chown=share"), untrustedVendor,
            "vendor.gpg is not trusted: the folder %share belongs to another user.");
    refused("not signed, only a keyring that is not trusted",
            QByteArray("trust=vendor chmod=share/keyrings/vendor.gpg:666"), origin("none"),
            "a signature is required once a trusted key is installed.");
    refused("not signed, Required=no in a policy file writable by others",
            QByteArray("required=no chmod=etc/vorlan-update.conf:666"), origin("none"),
            "vorlan-update.conf is writable by others: it is not trusted.");
    // Every fault in the policy file requires signatures and is named with its line.
    refused("a section of another spelling", QByteArray("policy=[signatures]|Required=no"),
            origin("none"), "vorlan-update.conf line 1: unknown section");
    refused("a key of another spelling", QByteArray("policy=[Signatures]|required=no"),
            origin("none"), "vorlan-update.conf line 2: unknown key");
    refused("a value of another spelling", QByteArray("policy=[Signatures]|Required=No"),
            origin("none"),
            "vorlan-update.conf line 2: Required=No is not auto, yes or no; signatures are "
            "required.");
    refused("the setting outside the section", QByteArray("policy=Required=no"), origin("none"),
            "vorlan-update.conf line 1: Required is outside the [Signatures] section; signatures "
            "are required.");
    refused("the setting twice", QByteArray("policy=[Signatures]|Required=no|Required=no"),
            origin("none"), "vorlan-update.conf line 3: Required is there twice");
    QTest::newRow("comments and blank lines, Required=no")
        << QByteArray("policy=#|[Signatures]||;|Required=no")
        << Runs{{"info %1", 0, {"Signature policy: Required=no, from ", "no signature."}},
                {"update %1 --yes", 0, {written}}}
        << "image";
    // Both signature files count: a bad one refuses, an unknown signer beside a good one is named.
    refused("a good .sig beside a .asc of other bytes",
            QByteArray("trust=vendor sign=vendor asc=other"), origin("bad", vendor, "%id(vendor)"),
            "The signature %1.asc does not match the update image %1.");
    QTest::newRow("an unknown signer beside a good one")
        << QByteArray("trust=vendor sign=vendor asc=stranger")
        << Runs{{"info %1",
                 0,
                 {"Signed by " + vendor +
                  ", key \u2026%id(vendor), and by a key that is not trusted "
                  "(\u2026%id(stranger))"}},
                {"update %1 --yes", 0, {written}}}
        << "image";
    // A verifier earlier in PATH that calls everything good is never asked.
    refused("a verifier earlier in PATH", QByteArray("trust=vendor sign=stranger liars"),
            origin("untrusted", {}, "%fpr(stranger)"), "not trusted (\u2026%id(stranger))");
    QTest::newRow("the published SHA-256")
        << QByteArray() << Runs{{"update %1 --yes --sha256 %H", 0, {written}}} << "image";
}

void TestCommandLine::outcome()
{
    QFETCH(QByteArray, before);
    QFETCH(Runs, runs);
    SimulatedDevice device;
    const QByteArray former = componentData(0x400000, 9);
    device.setFlash(former);
    QVERIFY(QDir().mkdir(device.path("per-user")));
    const bool steers = before == "steering";
    const QList<ImageComponent> components{
        {"BOOT", 0x01000000, 0x40000, 3, componentData(70000)},
        {steers ? steering.left(4) : "KERN", 0x01000000, 0x100000, 3, componentData(200000, 2)},
        {"CONF", 0x01000000, 0x200000, 3, componentData(5000, 3)}};
    const ImageComponent data{"DATA", 0x01000000, 0x300000, 3, componentData(300000, 4)};
    const QString image =
        device.makeImage(components, steers ? steering + ".tarnru" : "image.tarnru");
    const QString otherImage = device.makeImage({data}, "other.tarnru");
    const QString bad = device.makeImage({{"U", 0, 0x10000, 0, componentData(100)}}, "u.tarnru");
    const QString state = StateFolder().path();
    const QString record = state + "/unfinished-update.json";
    const QString target = device.path("target");
    QFile holder("/dev/tarn_flash");
    QProcess running;
    keys->reset();
    const auto keyPath = [this](const QString &relative) {
        return (relative.startsWith("etc") ? keys->configFolder() : keys->dataFolder()) +
               relative.mid(relative.indexOf('/') < 0 ? relative.size() : relative.indexOf('/'));
    };
    // Restored whichever way the row ends.
    struct Path
    {
        const QByteArray before = qgetenv("PATH");
        ~Path() { qputenv("PATH", before); }
        void prepend(const QString &folder)
        {
            qputenv("PATH", QFile::encodeName(folder) + ':' + before);
        }
    } path;
    for (const QByteArray &word : before.split(' ')) {
        const QByteArray how = word.mid(word.indexOf('=') + 1);
        if (word.startsWith("trust="))
            keys->trust(how);
        else if (word.startsWith("required="))
            keys->setRequired(how);
        else if (word.startsWith("sign="))
            keys->sign(how, image);
        else if (word.startsWith("asc="))
            keys->sign(how, image, ".asc");
        else if (word.startsWith("policy="))
            writeFile(keys->configFolder() + "/vorlan-update.conf",
                      QByteArray(how).replace('|', '\n'));
        else if (word.startsWith("chmod="))
            QCOMPARE(chmod(QFile::encodeName(keyPath(how.split(':').first())),
                           mode_t(how.split(':').last().toInt(nullptr, 8))),
                     0);
        else if (word.startsWith("chown="))
            QCOMPARE(chown(QFile::encodeName(keyPath(how)), 65534, 65534), 0);
        else if (word.startsWith("link=")) // the file one folder up, a link in its place
            QVERIFY(QFile::rename(keyPath(how), keys->dataFolder() + "/linked.gpg") &&
                    QFile::link(keys->dataFolder() + "/linked.gpg", keyPath(how)));
        else if (word == "liars")
            path.prepend(liars(device.path("liars")));
    }
    QFile file(image);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString sha256 =
        QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
    if (before == "held") {
        QVERIFY(holder.open(QIODevice::ReadWrite) &&
                flock(holder.handle(), LOCK_EX | LOCK_NB) == 0);
    } else if (before == "running") {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("VORLAN_SIM_ERASE_US", "600000"); // still running for both runs
        running.setProcessEnvironment(environment);
        running.start(VORLAN_FLASH_BINARY, {"update", image, "--yes"});
        QTRY_VERIFY_WITH_TIMEOUT(!device.trace("FLASH_ERASE").isEmpty(), 10000);
    } else if (before == "link") {
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("precious") == 8);
        QVERIFY(QFile::link(target, record));
    } else if (before == "open") {
        QCOMPARE(chmod(QFile::encodeName(state).constData(), 0777), 0);
    } else if (before == "damaged") {
        QFile file(record);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(2 << 20));
    } else if (before.startsWith("holding")) {
        QByteArray flash = former;
        for (const ImageComponent &c : components)
            flash.replace(int(c.flashAddress), c.data.size(), c.data);
        const int inverted = before.split(' ').value(1).toInt(nullptr, 16);
        flash[inverted] = char(~flash[inverted]);
        device.setFlash(flash);
    }
    const QByteArray initial = device.flash();

    QByteArray afterFirst;
    for (const Run &run : runs) {
        for (const auto &setting : run.settings) {
            const StateFolder folder;
            const QString copy = folder.path(StateFolder::Copies) + '/' +
                                 FlashJournal::load(folder).copies.value(0).file;
            if (setting.first == "tamper") {
                QFile file(copy);
                QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(100) && file.write("x"));
            } else if (setting.first == "delete") {
                QVERIFY(QFile::remove(copy));
            } else if (setting.first == "fifo") {
                QVERIFY(mkfifo(QFile::encodeName(copy).constData(), 0600) == 0);
            } else if (setting.first == "disk" && QProcess::execute("unshare", {"-m", "true"})) {
                QSKIP("needs mount namespaces (unshare -m) for a small file system");
            }
        }
        const QList<FlashCopies::Copy> saved = FlashCopies::list(StateFolder());
        const QStringList arguments = QString(run.command)
                                          .replace("%1", image)
                                          .replace("%2", saved.value(saved.size() - 1).path)
                                          .replace("%3", bad)
                                          .replace("%4", otherImage)
                                          .replace("%H", sha256)
                                          .split(' ');
        int exitCode = 0;
        const QByteArray output = runTool(arguments, run.settings, before == "terminal", &exitCode);
        QVERIFY2(exitCode == run.exitCode, output.constData());
        for (const char *raw : {"\x1b", "\a", "\u202e"})
            QVERIFY2(!output.contains(raw), output.constData());
        const QList<FlashCopies::Copy> copies = FlashCopies::list(StateFolder()); // newest first
        const QString oldest = copies.value(copies.size() - 1).path;
        for (QString text : run.shown) {
            text.replace("%1", image).replace("%2", oldest).replace("%5", state);
            text.replace("%6", copies.value(0).path).replace("%H", sha256);
            text.replace("%share", keys->dataFolder());
            for (const QByteArray key : {"vendor", "stranger", "old"}) {
                text.replace("%fpr(" + key + ')', keys->fingerprint(key));
                text.replace("%id(" + key + ')', keys->keyId(key));
            }
            const bool absent = text.startsWith('!');
            QVERIFY2(output.contains(text.mid(absent).toUtf8()) != absent,
                     qPrintable(text + "\nin:\n" + output));
        }
        if (afterFirst.isNull())
            afterFirst = device.flash();
    }
    if (before == "running") {
        QVERIFY(running.waitForFinished(30000));
        QCOMPARE(running.exitCode(), 0);
    }
    if (before == "link") { // the file behind the link is never touched
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("precious"));
    }

    for (const FlashCopies::Copy &copy : FlashCopies::list(StateFolder()))
        QCOMPARE(QFile::permissions(copy.path) & (QFile::ReadGroup | QFile::WriteGroup),
                 QFile::ReadGroup | QFile::WriteGroup);
    QFETCH(QString, flash);
    if (before.endsWith("read-only")) // it opened the flash for reading only
        QVERIFY2(device.trace("FLASH_UNLOCK|ERASE|write|flash open$").isEmpty(),
                 qPrintable(device.trace("").join('\n')));
    QByteArray expected = flash == "after the first" ? afterFirst : initial;
    const QList<ImageComponent> written = flash == "image"   ? components
                                          : flash == "other" ? QList<ImageComponent>{data}
                                                             : QList<ImageComponent>{};
    for (const ImageComponent &c : written) { // its pages erased, then its data
        const int pages = (c.data.size() + 0x1FFFF) / 0x20000 * 0x20000;
        expected.replace(int(c.flashAddress), pages, QByteArray(pages, '\xFF'));
        expected.replace(int(c.flashAddress), c.data.size(), c.data);
    }
    QVERIFY2(device.flash() == expected, "the flash holds other bytes than expected");
}

// A history line as the tool writes it, numbered; all of one padding have one length.
QByteArray historyLine(int number, const QByteArray &padding = {})
{
    return R"({"id":"old)" + QByteArray::number(number).rightJustified(4, '0') +
           R"(","kind":"update","started":"2026-01-01T00:00:00Z","uid":0,"outcome":"written",)"
           R"("verdict":")" +
           padding + "\"}\n";
}

// The history as vorlan-flash --json history tells it, newest first.
QList<QJsonObject> historyEntries(int *skipped = nullptr)
{
    int exitCode = 0;
    const QByteArray output = runTool({"--json", "history"}, {}, false, &exitCode);
    QList<QJsonObject> entries;
    for (const QByteArray &line : output.split('\n')) {
        const QJsonObject event = QJsonDocument::fromJson(line).object();
        if (event.value("event") == "entry")
            entries << event;
        else if (event.value("event") == "history" && skipped)
            *skipped = event.value("skipped").toInt();
    }
    return entries;
}

void TestCommandLine::history_data()
{
    // The history file before the runs: "cut" (an entry and a line cut short by a crash),
    // "garbage" (100 KiB of random bytes, a line break every 1000), "link" (a link to another
    // file), "huge" (3 MiB of entries), "many" (the most entries it keeps, small ones), "locked"
    // (an entry, its lock held by another process).
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<Runs>("runs");
    // The newest entries afterwards, newest first: "KIND OUTCOME"; then how many there are (-1:
    // as many as three quarters of the size limit hold, and the new one) and how many lines
    // could not be read.
    QTest::addColumn<QStringList>("newest");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("skipped");

    // The second erase fails, after the first has cleared the page.
    const Settings eraseFails{{"ERASE_FAIL", "0x100000:2"}};
    QTest::newRow("update, failure, put-back, verify")
        << QByteArray()
        << Runs{{"update %1 --yes", 0, {written}},
                {"update %1 --yes", 1, {"Update failed at component KERN"}, eraseFails},
                {"restore --yes", 0, {written}},
                {"verify %r", 0, {matches}},
                {"history", 0, {"verify matches  %1  by %U (uid %u)\n", "put back written  "}},
                {"history -n 2", 0, {"!update failed"}}}
        << QStringList{"verify matches", "put-back written", "update failed", "update written"} << 4
        << 0;
    QTest::newRow("killed mid-update, put back")
        << QByteArray()
        << Runs{{"update %1 --yes", -9, {}, {{"KILL_AT_WRITE", inKern}}},
                {"restore --yes", 0, {written}}}
        << QStringList{"put-back written", "update unfinished"} << 2 << 0;
    // Nothing that did not open the flash is history.
    QTest::newRow("refused or no driver")
        << QByteArray()
        << Runs{{"update %3 --yes", 2, {offPage}},
                {"update %1 --yes", 3, {}, {{"FLASH_NODE", "missing"}}},
                {"verify %3", 2, {}},
                {"history", 0, {"The history in %5/history.jsonl is empty."}}}
        << QStringList() << 0 << 0;
    // What happened to the history never stops an update.
    QTest::newRow("a line cut short by a crash")
        << QByteArray("cut")
        << Runs{{"update %1 --yes", -9, {}, {{"KILL_AT_WRITE", inKern}}},
                {"restore --yes", 0, {written}},
                {"history", 0, {"1 line(s) of the history in %5/history.jsonl could not be read"}}}
        << QStringList{"put-back written", "update unfinished", "update written"} << 3 << 1;
    QTest::newRow("garbage") << QByteArray("garbage") << Runs{{"update %1 --yes", 0, {written}}}
                             << QStringList{"update written"} << 1 << 103;
    QTest::newRow("a link")
        << QByteArray("link")
        << Runs{{"update %1 --yes", 0, {written}},
                {"history",
                 2,
                 {"The history cannot be read: %5/history.jsonl is a symbolic link."}}}
        << QStringList() << 0 << 0;
    // A process that holds the history's lock delays an update by a moment, never longer.
    QTest::newRow("locked by another process")
        << QByteArray("locked")
        << Runs{{"update %1 --yes", 0, {written, "The history of the flash could not be written"}}}
        << QStringList{"update written"} << 1 << 0;
    // Trimmed to the newest three quarters of its bounds, and the new entry after them.
    QTest::newRow("huge") << QByteArray("huge") << Runs{{"update %1 --yes", 0, {written}}}
                          << QStringList{"update written", "update written"} << -1 << 0;
    QTest::newRow("the most entries")
        << QByteArray("many") << Runs{{"verify %1", 1, {}}}
        << QStringList{"verify differs", "update written"} << 751 << 0;
}

void TestCommandLine::history()
{
    QFETCH(QByteArray, before);
    QFETCH(Runs, runs);
    SimulatedDevice device;
    const QString image =
        device.makeImage({{"BOOT", 0x01000000, 0x40000, 3, componentData(70000)},
                          {"KERN", 0x01000000, 0x100000, 3, componentData(200000, 2)},
                          {"CONF", 0x01000000, 0x200000, 3, componentData(5000, 3)}});
    const QString bad = device.makeImage({{"U", 0, 0x10000, 0, componentData(100)}}, "u.tarnru");
    const QString state = StateFolder().path();
    const QString path = state + "/history.jsonl";
    const QString target = device.path("target");
    QFile file(before == "link" ? target : path);
    QVERIFY(before.isEmpty() || file.open(QIODevice::WriteOnly));
    int written = 0; // entries
    const QByteArray padding(before == "huge" ? 2000 : 0, 'x');
    if (before == "cut") {
        file.write(historyLine(1) + historyLine(2).left(50));
    } else if (before == "garbage") {
        QByteArray garbage = componentData(100 * 1024, 5).replace('\n', 'x');
        for (int i = 999; i < garbage.size(); i += 1000)
            garbage[i] = '\n';
        file.write(garbage);
    } else if (before == "huge" || before == "many") {
        while (before == "many" ? written < FlashHistory::entryLimit : file.size() < 3 << 20)
            file.write(historyLine(written++, padding));
    } else if (before == "locked") {
        file.write(historyLine(1));
    }
    file.close();
    // Held by this process until the runs are over.
    const int locked = before == "locked" ? open(QFile::encodeName(path), O_RDONLY) : -1;
    QVERIFY(before != "locked" || flock(locked, LOCK_EX) == 0);
    auto unlock = qScopeGuard([locked] { close(locked); });
    if (before == "link")
        QVERIFY(QFile::link(target, path));
    const QByteArray targetBefore = [&] {
        QFile file(target);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    QFile imageFile(image);
    QVERIFY(imageFile.open(QIODevice::ReadOnly));
    const QString sha256 =
        QCryptographicHash::hash(imageFile.readAll(), QCryptographicHash::Sha256).toHex();
    const QString user = QString::fromLocal8Bit(getpwuid(getuid())->pw_name);

    for (const Run &run : runs) {
        int exitCode = 0;
        QStringList arguments =
            QString(run.command).replace("%1", image).replace("%3", bad).split(' ');
        arguments.replaceInStrings("%r", QDir::current().relativeFilePath(image));
        const QByteArray output = runTool(arguments, run.settings, false, &exitCode);
        QVERIFY2(exitCode == run.exitCode, output.constData());
        for (QString text : run.shown) {
            text.replace("%1", image).replace("%5", state).replace("%U", user);
            text.replace("%u", QString::number(getuid()));
            const bool absent = text.startsWith('!');
            QVERIFY2(output.contains(text.mid(absent).toUtf8()) != absent,
                     qPrintable(text + "\nin:\n" + output));
        }
    }
    if (before == "link") { // the file behind the link is never touched
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), targetBefore);
        return;
    }

    int skipped = -1;
    const QList<QJsonObject> entries = historyEntries(&skipped);
    QFETCH(int, count);
    if (count < 0) { // as the tool writes the entries back
        FlashHistory::Entry kept;
        FlashHistory::Entry::fromJson(QJsonDocument::fromJson(historyLine(0, padding)).object(),
                                      &kept);
        const int line = QJsonDocument(kept.toJson()).toJson(QJsonDocument::Compact).size() + 1;
        count = FlashHistory::sizeLimit * 3 / 4 / line + 1;
    }
    QCOMPARE(entries.size(), count);
    QTEST(skipped, "skipped");
    // A trim keeps the newest.
    if (written > 0) {
        QCOMPARE(entries.value(1).value("id").toString(),
                 "old" + QString::number(written - 1).rightJustified(4, '0'));
        QCOMPARE(entries.last().value("id").toString(),
                 "old" + QString::number(written - count + 1).rightJustified(4, '0'));
    }
    QFileInfo info(path);
    QVERIFY(info.size() <= FlashHistory::sizeLimit);
    QCOMPARE(info.permissions() &
                 (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
             info.exists() ? QFile::ReadGroup | QFile::WriteGroup : QFile::Permissions());
    QFETCH(QStringList, newest);
    QStringList found;
    for (const QJsonObject &entry : entries.mid(0, newest.size()))
        found << entry.value("kind").toString() + ' ' + entry.value("outcome").toString();
    QCOMPARE(found, newest);

    // Every entry of this test's runs is whole, and told to the system's journal as it ended.
    const QStringList journal = device.trace("journal ");
    for (const QJsonObject &entry : entries) {
        if (entry.value("id").toString().startsWith("old"))
            continue;
        const QString outcome = entry.value("outcome").toString();
        const bool putBack = entry.value("kind") == "put-back";
        QCOMPARE(entry.value("user").toString(), user);
        QCOMPARE(entry.value("uid").toInt(), int(getuid()));
        QCOMPARE(entry.value("frontEnd").toString(), QString("vorlan-flash"));
        QCOMPARE(entry.value("image").toString(), putBack ? state + "/put-back.tarnru" : image);
        QCOMPARE(entry.value("sha256").toString().size(), 64);
        QVERIFY(putBack || entry.value("sha256") == sha256);
        QCOMPARE(entry.value("signature").toObject().value("status").toString(), QString("none"));
        QCOMPARE(entry.value("components").toArray().size(), 3);
        QCOMPARE(entry.value("ended").isNull(), outcome == "unfinished");
        QCOMPARE(entry.value("copy").isString(),
                 entry.value("kind") == "update" && outcome != "unfinished");
        const QStringList lines =
            journal.filter("|VORLAN_HISTORY_ID=" + entry.value("id").toString() + '|');
        QCOMPARE(lines.size(), entry.value("kind") == "verify" ? 1
                               : outcome == "unfinished"       ? 1
                                                               : 2);
        const QStringList fields = lines.last().section(' ', 2).split('|');
        const QString messageId = outcome == "failed"       ? "5a7da05c1f96499b8a3cef45ca9ce9c5"
                                  : outcome == "unfinished" ? "07a1fa022c724f838c16250c2f223ea5"
                                  : outcome == "written"    ? "de0bb47007ef4282924a9072282fd039"
                                  : outcome == "matches"    ? "dcae2154fb5f4c4099abdbc0af1cc0e6"
                                                            : "8333b43dc67e477083307fad818a85ff";
        for (const QString &field : QStringList{
                 "SYSLOG_IDENTIFIER=vorlan-update", "MESSAGE_ID=" + messageId,
                 "VORLAN_OUTCOME=" + outcome, "VORLAN_IMAGE=" + entry.value("image").toString(),
                 "VORLAN_SHA256=" + entry.value("sha256").toString(), "VORLAN_USER=" + user,
                 "VORLAN_UID=" + QString::number(getuid()), "VORLAN_FRONT_END=vorlan-flash"})
            QVERIFY2(fields.contains(field), qPrintable(field + "\nin:\n" + lines.last()));
    }
}

// The journal's output for the match, one JSON object a line.
QList<QJsonObject> journalEntries(const QString &match)
{
    QProcess journalctl;
    journalctl.start("journalctl", {"-q", "-o", "json", "-t", "vorlan-update", match});
    if (!journalctl.waitForFinished(10000))
        qFatal("journalctl did not end");
    QList<QJsonObject> found;
    for (const QByteArray &line : journalctl.readAllStandardOutput().split('\n')) {
        if (!line.isEmpty())
            found << QJsonDocument::fromJson(line).object();
    }
    return found;
}

// An update tells the system's journal as it starts and as it ends; where none runs it goes on
// as ever. The fields are checked where the simulator takes them, in history(), and here in
// the journal itself where one runs.
void TestCommandLine::systemJournal()
{
    SimulatedDevice device;
    const QString image = device.makeImage({{"BOOT", 0x01000000, 0x40000, 3, componentData(7000)}});
    int exitCode = 0;
    const QByteArray output =
        runTool({"update", image, "--yes"}, {{"JOURNAL", "pass"}}, false, &exitCode);
    QVERIFY2(exitCode == 0, output.constData());
    const QStringList sent = device.trace("journal ");
    QCOMPARE(sent.size(), 2);
    if (!QFileInfo::exists("/run/systemd/journal/socket"))
        QSKIP("No system journal runs here: the update went on without one.");
    const QString id = sent.last().section("|VORLAN_HISTORY_ID=", 1).section('|', 0, 0);
    QList<QJsonObject> found;
    QDeadlineTimer deadline(10000);
    while ((found = journalEntries("VORLAN_HISTORY_ID=" + id)).size() < 2 && !deadline.hasExpired())
        QThread::msleep(100);
    if (found.isEmpty() && journalEntries("").isEmpty())
        QSKIP("The system journal cannot be read by this user.");
    QCOMPARE(found.size(), 2);
    const QJsonObject ended = found.last();
    QCOMPARE(ended.value("MESSAGE_ID").toString(), QString("de0bb47007ef4282924a9072282fd039"));
    QCOMPARE(ended.value("VORLAN_OUTCOME").toString(), QString("written"));
    QCOMPARE(ended.value("VORLAN_IMAGE").toString(), image);
    QCOMPARE(ended.value("_UID").toString(), QString::number(getuid()));
    QCOMPARE(found.first().value("MESSAGE_ID").toString(),
             QString("07a1fa022c724f838c16250c2f223ea5"));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "TestCommandLine.moc"
