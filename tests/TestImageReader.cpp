#include "ImageReader.h"
#include "SimulatedDevice.h"

#include <QRandomGenerator>
#include <QtEndian>
#include <QtTest>

namespace {

QByteArray header(quint32 version, quint32 address, quint32 minHW, const QByteArray &name,
                  quint32 blockLength)
{
    uchar bytes[32];
    std::fill(bytes, bytes + 32, 0x5A); // the unused bytes 16 to 27 must not matter
    qToLittleEndian<quint32>(version, bytes);
    qToLittleEndian<quint32>(address, bytes + 4);
    qToLittleEndian<quint32>(minHW, bytes + 8);
    const QByteArray nameField = name.leftJustified(4, '\0', true);
    std::copy(nameField.begin(), nameField.end(), bytes + 12);
    qToLittleEndian<quint32>(blockLength, bytes + 28);
    return QByteArray(reinterpret_cast<const char *>(bytes), 32);
}

QByteArray block(quint32 blockLength, int dataLength, quint32 address = 0)
{
    return header(0x01020304, address, 7, "AB", blockLength) + QByteArray(dataLength, '\x11');
}

struct Records
{
    int result;
    QList<ComponentRecord> list;
};

} // namespace

class TestImageReader : public QObject
{
    Q_OBJECT

private slots:
    void wellFormedChains_data();
    void wellFormedChains();
    void headerWordsAreLittleEndian();
    void namesAreFourRawBytes_data();
    void namesAreFourRawBytes();
    void recordsAreAppended();
    void missingFile();
    void brokenChains_data();
    void brokenChains();
    void survivesRandomAndMutatedFiles();

private:
    Records read(const QByteArray &content);
    SimulatedDevice files;
};

Records TestImageReader::read(const QByteArray &content)
{
    const QString path = files.path(QStringLiteral("image.tarnru"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write the test image");
    file.write(content);
    file.close();
    Records records;
    records.result = readImageComponents(path, records.list);
    return records;
}

void TestImageReader::wellFormedChains_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QList<quint32>>("offsets");
    QTest::addColumn<QList<quint32>>("sizes");
    QTest::newRow("two blocks") << block(0x1000, 0x1000 - 32) + block(0, 0x800 - 32)
                                << QList<quint32>{0, 0x1000} << QList<quint32>{0x1000, 0x800};
    QTest::newRow("one block to the end")
        << block(0, 500) << QList<quint32>{0} << QList<quint32>{532};
    QTest::newRow("header only") << block(0, 0) << QList<quint32>{0} << QList<quint32>{32};
    QTest::newRow("odd length") << block(33, 1) + block(0, 3) << QList<quint32>{0, 33}
                                << QList<quint32>{33, 35};
    // A block length below 32 puts the next header inside this one; it is followed all the same.
    QTest::newRow("length below 32") << header(1, 2, 3, "A", 4) + QByteArray(32, '\0')
                                     << QList<quint32>{0, 4} << QList<quint32>{4, 60};
}

void TestImageReader::wellFormedChains()
{
    QFETCH(QByteArray, content);
    QFETCH(QList<quint32>, offsets);
    QFETCH(QList<quint32>, sizes);
    const Records records = read(content);
    QCOMPARE(records.result, 0);
    QList<quint32> foundOffsets, foundSizes;
    for (const ComponentRecord &record : records.list) {
        foundOffsets << record.fileOffset;
        foundSizes << record.size;
    }
    QCOMPARE(foundOffsets, offsets);
    QCOMPARE(foundSizes, sizes);
}

void TestImageReader::headerWordsAreLittleEndian()
{
    QByteArray content = block(0, 0);
    const char words[] = "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C";
    content.replace(0, 12, QByteArray(words, 12));
    const Records records = read(content);
    QCOMPARE(records.list.size(), 1);
    QCOMPARE(records.list[0].version, 0x04030201u);
    QCOMPARE(records.list[0].flashAddress, 0x08070605u);
    QCOMPARE(records.list[0].minHW, 0x0C0B0A09u);
}

void TestImageReader::namesAreFourRawBytes_data()
{
    QTest::addColumn<QByteArray>("nameField");
    QTest::newRow("ABC") << QByteArray("ABC\0", 4);
    QTest::newRow("ABCD") << QByteArray("ABCD");
}

void TestImageReader::namesAreFourRawBytes()
{
    QFETCH(QByteArray, nameField);
    // The byte after the field is not part of the name.
    QByteArray content = block(0, 4);
    content.replace(12, 4, nameField);
    content[16] = 'E';
    const Records records = read(content);
    QCOMPARE(QByteArray(records.list.at(0).name, 4), nameField);
}

void TestImageReader::recordsAreAppended()
{
    const QString path = files.makeImage({{"A", 0, 0x100, 0, "xy"}});
    QList<ComponentRecord> list;
    list.append(ComponentRecord{9, 9, 9, 9, 9, {'Z', 0, 0, 0}});
    QCOMPARE(readImageComponents(path, list), 0);
    QCOMPARE(list.size(), 2);
    QCOMPARE(list[0].version, 9u);
    QCOMPARE(list[1].flashAddress, 0x100u);
}

void TestImageReader::missingFile()
{
    QList<ComponentRecord> list;
    const QString path = files.path(QStringLiteral("missing.tarnru"));
    QTest::ignoreMessage(QtDebugMsg,
                         qPrintable(QStringLiteral("Failed opening file:  \"%1\"").arg(path)));
    QCOMPARE(readImageComponents(path, list), -1);
    QVERIFY(list.isEmpty());
}

void TestImageReader::brokenChains_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("records");
    QTest::newRow("empty file") << QByteArray() << 0;
    QTest::newRow("header cut short") << block(0, 0).left(31) << 0;
    QTest::newRow("second header cut short") << block(40, 8) + block(0, 0).left(20) << 1;
    QTest::newRow("chain past the end") << block(0x10000, 100) << 1;
    QTest::newRow("chain to exactly the end") << block(40, 8) << 1;
    QTest::newRow("no last block") << block(40, 8) + block(40, 8) << 2;
    // Every step moves on by four bytes: the walk must still end at the end of the file.
    QByteArray longChain;
    for (int i = 0; i < 20000; ++i)
        longChain.append("\x04\0\0\0", 4);
    QTest::newRow("very long chain") << longChain << (80000 - 32) / 4 + 1;
}

void TestImageReader::brokenChains()
{
    QFETCH(QByteArray, content);
    QFETCH(int, records);
    const Records found = read(content);
    QCOMPARE(found.result, -1);
    QCOMPARE(found.list.size(), records);
}

void TestImageReader::survivesRandomAndMutatedFiles()
{
    QRandomGenerator random(20261206);
    const QByteArray valid = block(64, 32, 0x40000) + block(100, 68) + block(0, 300);
    for (int round = 0; round < 3000; ++round) {
        QByteArray content;
        if (round % 2) {
            content = valid;
            for (int flips = random.bounded(1, 8); flips > 0; --flips)
                content[random.bounded(content.size())] = char(random.bounded(256));
            content.truncate(random.bounded(content.size() + 1));
        } else {
            content.resize(random.bounded(200));
            for (char &byte : content)
                byte = char(random.bounded(4) ? random.bounded(3) : random.bounded(256));
        }
        const Records found = read(content);
        QVERIFY(found.list.size() <= qMax(0, content.size() - 31));
        for (const ComponentRecord &record : found.list)
            QVERIFY(qint64(record.fileOffset) + 32 <= content.size());
        if (found.result == 0)
            QCOMPARE(qint64(found.list.last().fileOffset) + found.list.last().size,
                     qint64(content.size()));
    }
}

QTEST_GUILESS_MAIN(TestImageReader)
#include "TestImageReader.moc"
