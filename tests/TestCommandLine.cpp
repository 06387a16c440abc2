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
const QString matches = "The flash holds this image: every component matches.";
const QString differs =
    "The flash does not hold this image: component KERN (2 of 2, at 0x100000) differs.";
const QString notCompared = "The flash was not compared with this image.";

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
    // "holding" (the flash holds the image, with the byte at the address given inverted) and
    // "untraced" (what the simulator's trace must not show).
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
                {"update %3 --yes --json", 2, {json("unchanged", unchanged)}},
                {"verify %3", 2, {offPage, notCompared}}}
        << false;
    QTest::newRow("erase refused, then restored")
        << Settings{{"ERASE_FAIL", "0x100000:1"}}
        << Runs{{"update %1 --yes", 1, {"Error erasing page at 0x100000", failed}},
                {"restore --yes", 0, {"The last update (%1, started ", written}}}
        << false;
    QTest::newRow("erase refused, then restored, json")
        << Settings{{"ERASE_FAIL", "0x100000:1"}}
        << Runs{{"--json update %1 --yes", 1, {json("failed", failed, "%2", "KERN")}},
                {"--json verify %1", 1, {R"(,"differing":1,"unfinished":true})"}},
                {"--json restore --yes", 0, {json("written", written)}}}
        << false;
    QTest::newRow("driver missing")
        << Settings{{"FLASH_NODE", "missing"}, {"MAILBOX", "missing"}}
        << Runs{{"update %1 --yes", 3, {"Error opening /dev/tarn_flash", unchanged}},
                {"--json update %1 --yes", 3, {json("unchanged", unchanged)}},
                {"verify %1", 3, {"Error opening /dev/tarn_flash", notCompared}},
                {"versions", 3, {"The VORLAN driver cannot be reached through /dev/tarn_mailbox."}}}
        << false;
    QTest::newRow("flash held by another program")
        << Settings{{"held", ""}}
        << Runs{{"update %1 --yes", 4, {"being updated by another program.", busy}},
                {"--json update %1 --yes", 4, {json("unchanged", busy)}},
                {"verify %1", 4, {"being updated by another program.", "image: another program"}},
                {"update --if-needed %1 --yes", 4, {busy}}}
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
                {"info %1", 0, {"  KERN  1.0.00   0x100000  200032  3\nAn update would take this"}},
                {"info %3", 2, {"An update would refuse this image: " + offPage}},
                {"copies", 0, {"No copy of the flash has been saved"}},
                {"--version", 0, {"vorlan-flash 1.1\n"}},
                {"update", 64, {"Wrong number of arguments for update.\n\nUsage: vorlan-flash"}},
                {"info %1 --if-needed", 64, {"--if-needed applies to update only."}}}
        << false;
    QTest::newRow("verify, every component matches")
        << Settings{{"holding", "0"},
                    {"SHORT_READ", "3"},
                    {"untraced", "FLASH_UNLOCK|ERASE|write|flash open$"}}
        << Runs{{"verify %1", 0, {"BOOT at 0x40000 matches the image.\nComponent KERN", matches}},
                {"--json verify %1",
                 0,
                 {R"({"event":"match","name":"KERN","address":"0x100000","matches":true,)"
                  R"("firstDifference":null})",
                  R"({"event":"verdict","outcome":"matches","text":")" + matches +
                      R"(","component":null,"differing":0,"unfinished":false})"}},
                {"update --if-needed %1", 0, {"matches the image.\nThe flash already holds"}}}
        << true;
    QTest::newRow("update if needed after an update that did not finish")
        << Settings{{"holding", "0"}, {"ERASE_FAIL", "0x100000:1"}}
        << Runs{{"update %1 --yes", 1, {"Update failed at component KERN"}},
                {"update --if-needed %1 --yes", 1, {"did not finish", "failed at component KERN"}}}
        << true;
    QTest::newRow("verify, one byte differs in the last component")
        << Settings{{"holding", "0x130d3f"}}
        << Runs{{"verify %1", 1, {"KERN at 0x100000 differs from the image at 0x130d3f.", differs}},
                {"--json verify %1",
                 1,
                 {R"("matches":false,"firstDifference":"0x130d3f"})",
                  R"({"event":"verdict","outcome":"differs","text":")" + differs +
                      R"(","component":"KERN","differing":1,"unfinished":false})"}},
                {"update %1 --if-needed --yes", 0, {"differs from the image", written}}}
        << true;
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
    QString untraced = "(?!)";
    for (const auto &setting : settings) {
        if (setting.first == "held")
            QVERIFY(holder.open(QIODevice::ReadWrite) &&
                    flock(holder.handle(), LOCK_EX | LOCK_NB) == 0);
        else if (setting.first == "terminal")
            terminal = true;
        else if (setting.first == "untraced")
            untraced = setting.second;
        else if (setting.first == "holding") {
            QByteArray flash = QByteArray(before)
                                   .replace(0x40000, 70000, components[0].data)
                                   .replace(0x100000, 200000, components[1].data);
            const int inverted = setting.second.toInt(nullptr, 16);
            flash[inverted] = char(~flash[inverted]);
            device.setFlash(flash);
        } else
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
        const QString newest = FlashCopies::list().value(0).path;
        for (QString text : run.shown) {
            text.replace("%1", image).replace("%2", newest);
            QVERIFY2(output.contains(text.toUtf8()), qPrintable(text + "\nnot in:\n" + output));
        }
    }
    const QByteArray flash = device.flash();
    const bool holding = flash.mid(0x40000, 70000) == components[0].data &&
                         flash.mid(0x100000, 200000) == components[1].data;
    QVERIFY2(device.trace(untraced).isEmpty(), qPrintable(device.trace(untraced).join('\n')));
    QFETCH(bool, holdsImage);
    QVERIFY2(holdsImage ? holding : flash == before, "the flash holds other bytes than expected");
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "TestCommandLine.moc"
