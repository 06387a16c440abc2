// What an installation puts on a machine: the tool, its desktop entry and its icon, and nothing
// of the simulator or the packer.

#include <QDirIterator>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QStringList installedFiles{"usr/bin/vorlan-update",
                                 "usr/share/applications/vorlan-update.desktop",
                                 "usr/share/icons/hicolor/scalable/apps/vorlan-update.svg"};

// Runs a build tool without the libraries that the tests preload.
QByteArray run(const QString &program, const QStringList &arguments,
               const QString &destination = QString())
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("LD_PRELOAD"));
    if (!destination.isEmpty())
        environment.insert(QStringLiteral("DESTDIR"), destination);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(240000) || process.exitCode() != 0) {
        qWarning("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
        return QByteArray();
    }
    return process.readAllStandardOutput() + ' ';
}

QStringList filesBelow(const QString &root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(root).relativeFilePath(it.next());
    files.sort();
    return files;
}

} // namespace

class TestPackage : public QObject
{
    Q_OBJECT

private slots:
    void installsTheToolOnly();
    void debianPackage();
};

void TestPackage::installsTheToolOnly()
{
    QTemporaryDir root;
    QVERIFY(!run(CMAKE_COMMAND, {"--install", PROJECT_BINARY_DIR, "--prefix", "/usr"}, root.path())
                 .isEmpty());
    QCOMPARE(filesBelow(root.path()), installedFiles);
    QVERIFY(QFileInfo(root.filePath("usr/bin/vorlan-update")).isExecutable());
    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    if (!validator.isEmpty())
        QVERIFY(!run(validator, {root.filePath(installedFiles[1])}).isEmpty());
}

void TestPackage::debianPackage()
{
    if (QStandardPaths::findExecutable("dpkg-shlibdeps").isEmpty())
        QSKIP("needs dpkg-shlibdeps (dpkg-dev)");
    QTemporaryDir output;
    QVERIFY(!run(CPACK_COMMAND, {"-G", "DEB", "-B", output.path(), "--config",
                                 PROJECT_BINARY_DIR "/CPackConfig.cmake"})
                 .isEmpty());
    const QStringList debs = QDir(output.path()).entryList({"*.deb"});
    QCOMPARE(debs.size(), 1);
    const QString deb = output.filePath(debs.first());

    const QByteArray depends = run("dpkg-deb", {"--field", deb, "Depends"});
    QVERIFY2(depends.contains("libqt5widgets5"), depends.constData());
    QVERIFY2(depends.contains("libqt5dbus5"), depends.constData());

    QTemporaryDir unpacked;
    QVERIFY(!run("dpkg-deb", {"--extract", deb, unpacked.path()}).isEmpty());
    QCOMPARE(filesBelow(unpacked.path()), installedFiles);
}

QTEST_GUILESS_MAIN(TestPackage)
#include "TestPackage.moc"
