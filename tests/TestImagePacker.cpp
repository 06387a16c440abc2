// vorlan-mkimage as the demo and a developer run it, read back with the program's own reader.

#include "ImageReader.h"
#include "SimulatedDevice.h"

#include <QProcess>
#include <QtTest>

class TestImagePacker : public QObject
{
    Q_OBJECT

private slots:
    void packedImagesReadBack();
    void refusesWhatItCannotEncode_data();
    void refusesWhatItCannotEncode();
    void explainsItself();

private:
    int pack(const QStringList &arguments, QString *errors = nullptr);
    SimulatedDevice files;
};

int TestImagePacker::pack(const QStringList &arguments, QString *errors)
{
    QProcess packer;
    packer.start(VORLAN_MKIMAGE_BINARY, arguments);
    if (!packer.waitForFinished(20000) || packer.exitStatus() != QProcess::NormalExit)
        return -1;
    if (errors)
        *errors = QString::fromLocal8Bit(packer.readAllStandardError());
    return packer.exitCode();
}

void TestImagePacker::packedImagesReadBack()
{
    const QByteArray first = componentData(5000, 7);
    QFile data(files.path("first.bin"));
    QVERIFY(data.open(QIODevice::WriteOnly));
    data.write(first);
    data.close();
    QFile empty(files.path("empty.bin"));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();

    const QString image = files.path("packed.tarnru");
    QCOMPARE(pack({image, "BOOT:1.2.3.4:0x40000:2:" + data.fileName(),
                   "ABC:255.0.10.200:131072:0:" + empty.fileName()}),
             0);
    QList<ComponentRecord> records;
    QCOMPARE(readImageComponents(image, records), 0);
    QCOMPARE(records.size(), 2);
    QCOMPARE(records[0].version, 0x01020304u);
    QCOMPARE(records[0].flashAddress, 0x40000u);
    QCOMPARE(records[0].minHW, 2u);
    QCOMPARE(records[0].size, 5032u);
    QCOMPARE(QByteArray(records[0].name, 4), QByteArray("BOOT"));
    QCOMPARE(records[1].version, 0xFF000AC8u);
    QCOMPARE(records[1].flashAddress, 0x20000u);
    QCOMPARE(records[1].fileOffset, 5032u);
    QCOMPARE(records[1].size, 32u);
    QCOMPARE(QByteArray(records[1].name, 4), QByteArray("ABC\0", 4));

    QFile packed(image);
    QVERIFY(packed.open(QIODevice::ReadOnly));
    QCOMPARE(packed.readAll().mid(32, 5000), first);
}

void TestImagePacker::refusesWhatItCannotEncode_data()
{
    QTest::addColumn<QString>("component");
    QTest::addColumn<QString>("message");
    QTest::newRow("name too long") << "ABCDE:1.2.3.4:0:0:%1"
                                   << "longer than four bytes";
    QTest::newRow("version of three parts") << "A:1.2.3:0:0:%1"
                                            << "a.b.c.d";
    QTest::newRow("version part too large") << "A:1.2.3.256:0:0:%1"
                                            << "a.b.c.d";
    QTest::newRow("address not a number") << "A:1.2.3.4:zero:0:%1"
                                          << "32-bit";
    QTest::newRow("missing data file") << "A:1.2.3.4:0:0:%1.missing"
                                       << "Cannot read";
    QTest::newRow("too few fields") << "A:1.2.3.4:0"
                                    << "NAME:VERSION:ADDRESS:MINHW:FILE";
}

void TestImagePacker::refusesWhatItCannotEncode()
{
    QFETCH(QString, component);
    QFETCH(QString, message);
    QFile data(files.path("data.bin"));
    QVERIFY(data.open(QIODevice::WriteOnly));
    data.write("x");
    data.close();
    const QString image = files.path("refused.tarnru");
    QString errors;
    QVERIFY(pack({image, component.replace("%1", data.fileName())}, &errors) > 0);
    QVERIFY2(errors.contains(message), qPrintable(errors));
    QVERIFY(!QFile::exists(image));
}

void TestImagePacker::explainsItself()
{
    QProcess packer;
    packer.start(VORLAN_MKIMAGE_BINARY, {"--help"});
    QVERIFY(packer.waitForFinished(20000));
    QCOMPARE(packer.exitCode(), 0);
    QVERIFY(packer.readAllStandardOutput().contains("NAME:VERSION:ADDRESS:MINHW:FILE"));
    QVERIFY(pack({}) != 0);
}

QTEST_GUILESS_MAIN(TestImagePacker)
#include "TestImagePacker.moc"
