// Both programs as a German user runs them: the built catalogues found through the data folder,
// every line a person reads in German, and the same JSON for scripts as under LANG=C.

#include "SimulatedDevice.h"
#include "XServer.h"

#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <csignal>

namespace {

const QByteArray german = "de_DE.UTF-8";
const QByteArray plain = "C";

const QList<ImageComponent> components{{"BOOT", 0, 0x40000, 0, componentData(70000)},
                                       {"KERN", 0, 0x100000, 0, componentData(200000, 2)}};
const QList<ImageComponent> offPage{{"U", 0, 0x10000, 0, componentData(100)}};

struct Output
{
    int exitCode;
    QString text;
};

QProcessEnvironment environmentFor(const QByteArray &locale)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"LANG", "LANGUAGE", "LC_ALL", "LC_MESSAGES"})
        environment.insert(name, locale);
    environment.insert("VORLAN_UPDATE_DATADIR", VORLAN_DATA_FOLDER);
    return environment;
}

// Runs vorlan-flash under the locale to its end, both channels in one. With an answer it runs
// on a terminal of its own and answers the question with it.
Output runFlash(const QByteArray &locale, const QStringList &arguments,
                const QByteArray &answer = {})
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment environment = environmentFor(locale);
    QString program = VORLAN_FLASH_BINARY;
    QStringList words = arguments;
    if (!answer.isEmpty()) { // the leak checker is for vorlan-flash, not for script
        const QString checks = environment.value("ASAN_OPTIONS");
        environment.insert("ASAN_OPTIONS", checks + ":detect_leaks=0");
        words = QStringList{"20", "script", "-qec",
                            "ASAN_OPTIONS='" + checks + "' " + program + " '" +
                                arguments.join("' '") + "'",
                            "/dev/null"};
        program = "timeout";
    }
    tool.setProcessEnvironment(environment);
    tool.start(program, words);
    QByteArray output;
    if (!answer.isEmpty()) {
        while (!output.contains("/N]") && tool.waitForReadyRead(10000))
            output += tool.readAll();
        tool.write(answer + '\n');
    }
    tool.closeWriteChannel();
    if (!tool.waitForFinished(30000))
        qFatal("vorlan-flash did not end");
    return {tool.exitStatus() == QProcess::CrashExit ? -9 : tool.exitCode(),
            QString::fromUtf8(output + tool.readAll())};
}

// Runs vorlan-flash under the locale on a simulated device of its own, with an image of two
// components for %1 and one that an update refuses for %2; the device's folder is %D/ and the
// image %1 in what it shows.
Output runOnDevice(const QByteArray &locale, const QStringList &arguments,
                   const QByteArray &eraseFail, const QByteArray &answer = {})
{
    SimulatedDevice device;
    if (!eraseFail.isEmpty())
        device.set("ERASE_FAIL", eraseFail);
    const QString image = device.makeImage(components);
    const QString refused = device.makeImage(offPage, "u.tarnru");
    QStringList words;
    for (const QString &word : arguments)
        words << QString(word).replace("%1", image).replace("%2", refused);
    Output output = runFlash(locale, words, answer);
    output.text.replace(image, "%1").replace(device.path(QString()), "%D/");
    return output;
}

// The lines of prose (two words in a row); names, paths and numbers alone are the same in
// every language.
QStringList proseLines(const QString &output)
{
    static const QRegularExpression prose(QStringLiteral("[A-Za-z]{2,} [A-Za-z]{2,}"));
    return output.split(QRegularExpression(QStringLiteral("[\r\n]"))).filter(prose);
}

} // namespace

class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void commandLine_data();
    void commandLine();
    void jsonInEveryLocale_data();
    void jsonInEveryLocale();
    void window();
};

void TestTranslations::initTestCase()
{
    QVERIFY2(QFile::exists(VORLAN_DATA_FOLDER "/translations/vorlan-update_de.qm"),
             "the German catalogue has not been built");
}

void TestTranslations::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments"); // %1 the image, %2 one that an update refuses
    QTest::addColumn<QByteArray>("eraseFail");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("help") << QStringList{"--help"} << QByteArray() << false << 0
                          << QStringList{"Aufruf: vorlan-flash [--json] BEFEHL [ARGUMENTE]",
                                         "  --yes         ohne Nachfrage aktualisieren"};
    // Qt's own catalogue says what is wrong with an option.
    QTest::newRow("wrong usage") << QStringList{"--bogus"} << QByteArray() << false << 64
                                 << QStringList{"vorlan-flash: Unbekannte Option 'bogus'.",
                                                "Weitere Informationen mit „vorlan-flash --help“."};
    QTest::newRow("update")
        << QStringList{"update", "%1"} << QByteArray() << true << 0
        << QStringList{"Den Flash-Speicher mit diesen 2 Komponenten aktualisieren? [j/N]",
                       "%1: 2 Komponenten", "Adresse", "Nicht signiert",
                       "Alle 2 Komponenten wurden geschrieben und geprüft."};
    QTest::newRow("failure")
        << QStringList{"update", "%1"} << QByteArray("0x100000:1") << true << 1
        << QStringList{"Die Aktualisierung ist bei Komponente KERN (2 von 2, bei 0x100000) "
                       "fehlgeschlagen. Der Flash-Speicher enthält dieses Abbild nicht: Starten "
                       "Sie den Computer nicht neu, bevor eine Aktualisierung mit „Fertig“ "
                       "geendet hat. Eine Kopie des vorherigen Stands des Flash-Speichers liegt "
                       "in ",
                       "Zum Zurückspielen: vorlan-flash restore"};
    QTest::newRow("refused image")
        << QStringList{"info", "%2"} << QByteArray() << false << 2
        << QStringList{"Eine Aktualisierung würde dieses Abbild ablehnen: Die Komponente bei "
                       "0x10000 beginnt nicht an einer Flash-Seite."};
}

// The German texts are there, and no line of prose that LANG=C shows is left as it was.
void TestTranslations::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, eraseFail);
    QFETCH(bool, asked);
    QFETCH(int, exitCode);
    QFETCH(QStringList, shown);
    Output outputs[2];
    for (const QByteArray &locale : {plain, german}) {
        const QByteArray answer = locale == german ? "j" : "y";
        Output &output = outputs[locale == german];
        output = runOnDevice(locale, arguments, eraseFail, asked ? answer : QByteArray());
        QCOMPARE(output.exitCode, exitCode);
    }
    for (const QString &text : shown)
        QVERIFY2(outputs[1].text.contains(text), qPrintable(outputs[1].text));
    for (const QString &line : proseLines(outputs[0].text))
        QVERIFY2(!outputs[1].text.contains(line.trimmed()),
                 qPrintable("English under German: " + line));
}

void TestTranslations::jsonInEveryLocale_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("eraseFail");
    QTest::newRow("failed update")
        << QStringList{"--json", "update", "%1", "--yes"} << QByteArray("0x100000:1");
    QTest::newRow("refused image") << QStringList{"--json", "info", "%2"} << QByteArray();
    QTest::newRow("verify") << QStringList{"--json", "verify", "%1"} << QByteArray();
    QTest::newRow("versions") << QStringList{"--json", "versions"} << QByteArray();
}

// What scripts read does not depend on the locale: the same events with the same texts.
void TestTranslations::jsonInEveryLocale()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, eraseFail);
    QString outputs[2];
    for (const QByteArray &locale : {plain, german}) {
        QString &output = outputs[locale == german];
        output = runOnDevice(locale, arguments, eraseFail).text;
        // The second of a run's copy and the pace of its progress differ.
        output.remove(QRegularExpression(QStringLiteral("[^\n]*\"progress\"[^\n]*\n")))
            .replace(QRegularExpression(QStringLiteral("flash-[0-9-]+\\.tarnru")), "%C");
    }
    QVERIFY(outputs[0].contains("\"event\""));
    QCOMPARE(outputs[1], outputs[0]);
}

// The window's dialog, its verdict after a failure and its question come in German.
void TestTranslations::window()
{
    if (!XServer::available())
        QSKIP("needs Xvfb and xdotool (scripts/install-deps.sh installs them)");
    XServer server;
    QVERIFY2(server.start(), qPrintable(server.error()));
    SimulatedDevice device;
    device.set("ERASE_FAIL", "0x100000:1");
    const QString path = device.makeImage(components);
    QProcess tool;
    QProcessEnvironment environment = environmentFor(german);
    environment.insert("DISPLAY", server.display());
    environment.remove("QT_QPA_PLATFORM");
    environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":detect_leaks=0");
    tool.setProcessEnvironment(environment);
    tool.start(VORLAN_UPDATE_BINARY, QStringList());

    QVERIFY2(server.xdo({"search", "--sync", "--onlyvisible", "--name", "VORLAN Update Utility",
                         "windowfocus", "--sync", "type", path}),
             "the window did not come up");
    QVERIFY(server.xdo({"key", "Tab", "Tab", "Tab", "space"}));
    QVERIFY2(server.xdo({"search", "--sync", "--onlyvisible", "--name", "Abbild-Informationen",
                         "windowfocus", "--sync", "sleep", "0.8", "key", "Return"}),
             "the dialog of the image is not German");
    QVERIFY2(server.xdo(
                 {"search", "--sync", "--onlyvisible", "--name", "Aktualisierung fehlgeschlagen"}),
             "the question after the failure is not German");
    tool.kill();
    tool.waitForFinished(10000);
    const QString log = QString::fromUtf8(tool.readAllStandardError());
    QVERIFY2(log.contains("Die Aktualisierung ist bei Komponente KERN (2 von 2, bei 0x100000) "
                          "fehlgeschlagen."),
             qPrintable(log.right(500)));
}

QTEST_GUILESS_MAIN(TestTranslations)
#include "TestTranslations.moc"
