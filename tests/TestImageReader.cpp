#include "ImageChecks.h"
#include "ImageDigest.h"
#include "ImageReader.h"
#include "SigningKeys.h"
#include "SimulatedDevice.h"

#include <QtEndian>
#include <QtTest>

#include <sys/stat.h>

Q_DECLARE_METATYPE(SignatureCheck::Verifier)

namespace {

QByteArray block(quint32 blockLength, int dataLength)
{
    const quint32 length = qToLittleEndian(blockLength);
    return QByteArray(28, '\x5A') + QByteArray(reinterpret_cast<const char *>(&length), 4) +
           QByteArray(dataLength, 'd');
}

} // namespace

class TestImageReader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { keys = new SigningKeys; }
    void cleanupTestCase() { delete keys; }
    void chains_data();
    void chains();
    void verifiers_data();
    void verifiers();

private:
    SigningKeys *keys = nullptr;
};

void TestImageReader::chains_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("records");
    QTest::addColumn<QString>("last");    // the last record's offset and size
    QTest::addColumn<QString>("problem"); // why an update refuses it; %1 the path
    const QString offPage = "Component at 0x5a5a5a5a does not start on a flash page.";
    const auto unread = [](const QString &why) { return "Error reading update image %1: " + why; };
    QTest::newRow("two blocks") << block(0x1000, 0x1000 - 32) + block(0, 0x800 - 32) << 0 << 2
                                << "4096 2048" << offPage;
    QTest::newRow("header only") << block(0, 0) << 0 << 1 << "0 32" << QString();
    // A length below 32 puts the next header inside this one; it is followed all the same.
    QTest::newRow("length below 32") << block(4, 0) + QByteArray(32, '\0') << 0 << 2 << "4 60"
                                     << unread("a block is shorter than its 32-byte header");
    QTest::newRow("empty file") << QByteArray() << -1 << 0 << "" << unread("it is empty");
    QTest::newRow("header cut short")
        << block(0, 0).left(31) << -1 << 0 << "" << unread("a component header is cut short");
    QTest::newRow("second header cut short") << block(40, 8) + block(0, 0).left(20) << -1 << 1
                                             << "0 40" << unread("a component header is cut short");
    QTest::newRow("chain past the end") << block(0x10000, 100) << -1 << 1 << "0 65536"
                                        << unread("the chain of blocks leaves the file");
    QTest::newRow("chain to the end, no last block")
        << block(132, 100) << -1 << 1 << "0 132" << unread("the chain of blocks leaves the file");
    QTest::newRow("256 blocks") << block(32, 0).repeated(255) + block(0, 0) << 0 << 256 << "8160 32"
                                << QString();
    QTest::newRow("257 blocks") << block(32, 0).repeated(256) + block(0, 0) << -1 << 256
                                << "8160 32" << unread("it has more than 256 components");
    // Not regular files: a FIFO would block the open for ever.
    QTest::newRow("FIFO") << QByteArray("fifo") << -1 << 0 << ""
                          << unread("it is not a regular file");
    QTest::newRow("folder") << QByteArray("folder") << -1 << 0 << "" << unread("it is a folder");
    QTest::newRow("missing") << QByteArray("missing") << -1 << 0 << ""
                             << unread("it does not exist");
    QTest::newRow("under a file") << QByteArray("under a file") << -1 << 0 << ""
                                  << unread("it cannot be read: " + QString(strerror(ENOTDIR)));
}

// The same walk through the name and through a descriptor, and the refusal that follows.
void TestImageReader::chains()
{
    QFETCH(QByteArray, content);
    SimulatedDevice files;
    QString path = files.path(QStringLiteral("image.tarnru"));
    if (content == "fifo") {
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (content == "folder") {
        QVERIFY(QDir().mkdir(path));
    } else if (content != "missing") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    if (content == "under a file")
        path += "/x.tarnru";
    QFile file;
    QString why;
    const bool opened = openImageFile(file, path, &why);
    if (!opened)
        QTest::ignoreMessage(QtDebugMsg, qPrintable("Failed opening file:  \"" + path + '"'));
    QList<ComponentRecord> list{ComponentRecord{9, 9, 9, 9, 9, {'Z', 0, 0, 0}}};
    QTEST(readImageComponents(path, list), "result");
    QTEST(list.size() - 1, "records"); // appended to what the list held
    if (list.size() > 1)
        QTEST(QStringLiteral("%1 %2").arg(list.last().fileOffset).arg(list.last().size), "last");

    QList<ComponentRecord> records;
    const int result = opened ? readImageComponents(file, records, &why) : -1;
    QCOMPARE(records, list.mid(1));
    QFETCH(QString, problem);
    QCOMPARE(imageProblem(path, result, why, records), problem.replace("%1", path));
}

// sqv and gpgv give the same verdict on each kind of signature.
void TestImageReader::verifiers_data()
{
    QTest::addColumn<SignatureCheck::Verifier>("verifier");
    QTest::addColumn<QByteArray>("trusted");
    QTest::addColumn<QByteArray>("signer"); // or "changed": by vendor, the image changed after
    QTest::addColumn<int>("status");
    for (const auto verifier : {SignatureCheck::Verifier::Sqv, SignatureCheck::Verifier::Gpgv}) {
        const auto row = [verifier](const char *name, const char *trusted, const char *signer,
                                    SignatureResult::Status status) {
            const char *by = verifier == SignatureCheck::Verifier::Sqv ? "sqv" : "gpgv";
            QTest::addRow("%s, %s", by, name)
                << verifier << QByteArray(trusted) << QByteArray(signer) << int(status);
        };
        row("good", "vendor", "vendor", SignatureResult::Good);
        row("bad", "vendor", "changed", SignatureResult::Bad);
        row("expired key", "old", "old", SignatureResult::Expired);
        row("revoked key", "revoked", "revoked", SignatureResult::Expired);
        row("unknown key", "vendor", "stranger", SignatureResult::Untrusted);
        // The verifier stops before the bytes: its answer still names the key.
        row("no keyring installed", "", "stranger", SignatureResult::Untrusted);
    }
}

void TestImageReader::verifiers()
{
    QFETCH(SignatureCheck::Verifier, verifier);
    QFETCH(QByteArray, trusted);
    QFETCH(QByteArray, signer);
    if (verifier == SignatureCheck::Verifier::Sqv &&
        SignatureCheck::preferred() != SignatureCheck::Verifier::Sqv)
        QSKIP("sqv is not installed");
    keys->reset();
    if (!trusted.isEmpty())
        keys->trust(trusted);
    QTemporaryDir dir;
    const QString path = dir.filePath("image.tarnru");
    QFile image(path);
    QVERIFY(image.open(QIODevice::ReadWrite) && image.write(componentData(3 << 20)) == 3 << 20);
    image.close();
    keys->sign(signer, path);
    QVERIFY(image.open(QIODevice::ReadOnly));
    ImageDigest digest(path, {});
    digest.setVerifier(verifier);
    digest.read(image);
    QTEST(int(digest.signature().status), "status");
    QCOMPARE(digest.signature().keyId(),
             keys->keyId(signer == "changed" ? QByteArray("vendor") : signer));
}

QTEST_GUILESS_MAIN(TestImageReader)
#include "TestImageReader.moc"
