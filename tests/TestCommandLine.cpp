// vorlan-flash as people and scripts run it: the real program against the simulated driver, one
// row an outcome, with its exit status, what it prints and what the flash holds afterwards.

#include "FlashCopies.h"
#include "SimulatedDevice.h"

#include <QProcess>
#include <QtTest>

#include <sys/file.h>

namespace {

// One command line: %1 the image, %2 the newest copy of the flash, %3 an image the update
// refuses. What it prints must hold each of the shown texts.
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
// A name that clears the screen, sets the window title and turns what follows around.
const QString steering = QStringLiteral("\x1b[2J\x1b]0;x\a\u202e");

QString json(const QString &outcome, QString text, const QString &copy = {},
             const QString &component = {})
{
    const auto value = [](const QString &s) { return s.isEmpty() ? "null" : '"' + s + '"'; };
    return QString(R"({"event":"verdict","outcome":"%1","text":"%2","component":%3,"copy":%4})")
        .arg(outcome, text.replace('"', "\\\""), value(component), value(copy));
}

} // namespace

Q_DECLARE_METATYPE(Run)
using Runs = QList<Run>;
using Settings = QList<QPair<QByteArray, QByteArray>>;

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void outcome_data();
    void outcome();
};

void TestCommandLine::outcome_data()
{
    // The simulator's settings until a restore, "held" (the flash), "terminal" (for the runs),
    // "steering" (in the image's file name and the name of its second component) and "state"
    // (the folder's name in the test's folder). %4 in a shown text is the newest copy's path
    // quoted for bash, which must find the file through it.
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
    // Nothing prints them as they are; JSON carries them exactly, the same in every event.
    QTest::newRow("names that would steer a terminal")
        << Settings{{"ERASE_FAIL", "0x100000:1"}, {"steering", ""}}
        << Runs{{"update %1 --yes",
                 1,
                 {R"(/\x1b[2J\x1b]0;x\x07\u202e.tarnru: 2 components)", "\n  \\x1b[2J  1.0.00",
                  "Update failed at component 0x100000 (2 of 2)."}},
                {"--json update %1 --yes",
                 1,
                 {R"(\u001b[2J\u001b]0;x\u0007\u202e.tarnru, started )",
                  R"({"event":"component","name":"\u001b[2J",)",
                  R"(,"component":"\u001b[2J","copy":")"}},
                {"info %1.gone",
                 2,
                 {R"(\x1b[2J\x1b]0;x\x07\u202e.tarnru.gone: it does not exist)"}},
                {"restore --yes", 0, {R"(The last update ()", written}}}
        << false;
    QTest::newRow("driver missing")
        << Settings{{"FLASH_NODE", "missing"}, {"MAILBOX", "missing"}}
        << Runs{{"update %1 --yes",
                 3,
                 {"Error opening /dev/tarn_flash: No such file or directory", unchanged}},
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
    QTest::newRow("failed on a terminal, the copies in a folder named with ' and ESC")
        << Settings{{"terminal", ""}, {"ERASE_FAIL", "0x100000:1"}, {"state", "a'\x1b"}}
        << Runs{{"update %1", 1, {"\nTo put it back: vorlan-flash restore %4\r\n"}},
                {"restore", 0, {written}}}
        << false;
    QTest::newRow("queries and usage")
        << Settings{}
        << Runs{{"versions", 0, {"1764710912\nSW version: 1.3.05\nPID version: 0.1.02\n"}},
                {"info %1", 0, {"  KERN  1.0.00   0x100000  200032  3\nAn update would take this"}},
                {"info %3", 2, {"An update would refuse this image: " + offPage}},
                {"copies", 0, {"No copy of the flash has been saved"}},
                {"--version", 0, {"vorlan-flash 1.1\n"}},
                {"update", 64, {"Wrong number of arguments for update.\n\nUsage: vorlan-flash"}}}
        << false;
}

void TestCommandLine::outcome()
{
    QFETCH(Settings, settings);
    QFETCH(Runs, runs);
    SimulatedDevice device;
    const QByteArray before = componentData(0x400000, 9);
    device.setFlash(before);
    const bool steers = settings.contains({"steering", ""});
    const QList<ImageComponent> components{
        {"BOOT", 0x01000000, 0x40000, 3, componentData(70000)},
        {steers ? steering.left(4) : "KERN", 0x01000000, 0x100000, 3, componentData(200000, 2)}};
    const QString image =
        steers ? device.makeImage(components, steering + ".tarnru") : device.makeImage(components);
    const QString bad = device.makeImage({{"U", 0, 0x10000, 0, componentData(100)}}, "u.tarnru");
    QFile holder("/dev/tarn_flash");
    bool terminal = false;
    for (const auto &setting : settings) {
        if (setting.first == "held")
            QVERIFY(holder.open(QIODevice::ReadWrite) &&
                    flock(holder.handle(), LOCK_EX | LOCK_NB) == 0);
        else if (setting.first == "terminal")
            terminal = true;
        else if (setting.first == "state")
            qputenv("XDG_STATE_HOME", QFile::encodeName(device.path(setting.second)));
        else if (setting.first == "steering")
            continue;
        else
            device.set(setting.first.constData(), setting.second);
    }

    for (const Run &run : runs) {
        if (run.command.contains("restore"))
            for (const auto &setting : settings)
                qunsetenv("VORLAN_SIM_" + setting.first);
        const QStringList arguments =
            QString(run.command).replace("%1", image).replace("%3", bad).split(' ');
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
        for (const char *raw : {"\x1b", "\a", "\u202e"})
            QVERIFY2(!output.contains(raw), output.constData());
        const QString newest = FlashCopies::list().value(0).path;
        QString quoted = newest;
        quoted =
            "$'" + quoted.replace("\\", "\\\\").replace("'", "\\'").replace("\x1b", "\\x1b") + "'";
        QProcess bash;
        bash.start("bash", {"-c", "test -f " + quoted});
        QVERIFY(bash.waitForFinished(10000) && bash.exitCode() == newest.isEmpty());
        for (QString text : run.shown) {
            text.replace("%1", image).replace("%2", newest).replace("%4", quoted);
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
