// The main window driven as a user drives it, against the simulated driver.

#include "MainWindow.h"
#include "SimulatedDevice.h"
#include "StartupOptions.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

namespace {

const QString done = QStringLiteral("Done updating. It is now safe to restart the computer.");

// Answers the next modal window once it is up; gives up after ten seconds or with the test.
struct ModalAnswer : QObject
{
    explicit ModalAnswer(bool accept)
    {
        QElapsedTimer waited;
        waited.start();
        connect(&poll, &QTimer::timeout, this, [this, accept, waited] {
            auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (modal || waited.hasExpired(10000))
                poll.stop();
            if (!modal)
                return;
            title = modal->windowTitle();
            if (auto *box = qobject_cast<QMessageBox *>(modal))
                text = box->text();
            accept ? modal->accept() : modal->reject();
        });
        poll.start(10);
    }
    QString title, text;
    QTimer poll;
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void installedVersions_data();
    void installedVersions();
    void extensionCheck_data();
    void extensionCheck();
    void verdict_data();
    void verdict();
    void infoDialogFollowsTheName();

private:
    void makeWindow();
    template <typename T> T *child(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }

    SimulatedDevice *device = nullptr;
    MainWindow *window = nullptr;
    QLineEdit *filename = nullptr;
    QPushButton *updateButton = nullptr;
};

void TestMainWindow::init()
{
    device = new SimulatedDevice;
    openWithoutDriver = false;
}

void TestMainWindow::cleanup()
{
    // A window whose update still runs is never destroyed.
    if (window)
        QTRY_VERIFY_WITH_TIMEOUT(updateButton->isEnabled(), 60000);
    delete window;
    window = nullptr;
    delete device;
}

void TestMainWindow::makeWindow()
{
    window = new MainWindow;
    window->show();
    filename = child<QLineEdit>("filenameLineEdit");
    updateButton = child<QPushButton>("startUpdateButton");
}

void TestMainWindow::installedVersions_data()
{
    QTest::addColumn<QByteArray>("setting");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("fields"); // empty: the driver cannot be used
    QTest::newRow("answered") << QByteArray("SOFTWARE") << QByteArray("0x04030201")
                              << "1764710912 1.2.34 0.1.02";
    QTest::newRow("status 0xF") << QByteArray("MAILBOX_STATUS") << QByteArray("0xF")
                                << "1406615411 0.0.90 0.0.90";
    QTest::newRow("third request fails")
        << QByteArray("MAILBOX_FAIL") << QByteArray("3") << QString();
    QTest::newRow("no driver, forced")
        << QByteArray("MAILBOX") << QByteArray("missing") << QString();
}

void TestMainWindow::installedVersions()
{
    QFETCH(QByteArray, setting);
    QFETCH(QByteArray, value);
    QFETCH(QString, fields);
    device->set(setting.constData(), value);
    openWithoutDriver = value == "missing";
    ModalAnswer critical(true);
    makeWindow();
    QStringList shown;
    for (const char *name : {"curVerTSLineEdit", "curVerSWLineEdit", "curPIDverLineEdit"})
        shown << child<QLineEdit>(name)->text();
    QCOMPARE(shown.join(' ').trimmed(), fields);
    QCOMPARE(critical.title, fields.isEmpty() ? QStringLiteral("Cannot open file") : QString());
    QTest::qWait(50);
    QCOMPARE(window->isVisible(), !fields.isEmpty() || openWithoutDriver);
}

void TestMainWindow::extensionCheck_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("warning"); // empty: the name is accepted
    const QString refused = QStringLiteral(
        "The filename is not valid.\n\nExpecting file extenison: .tarnru, instead got: .");
    QTest::newRow("trailing dot") << "image.tarnru." << QString();
    QTest::newRow("bare tarnru") << "tarnru" << QString();
    QTest::newRow("upper case") << "image.TARNRU" << refused + "TARNRU";
    QTest::newRow("empty") << "" << refused;
    QTest::newRow("dot in a folder") << "/tmp/v1.2/image" << refused + "2/image";
}

// An accepted name brings up the confirmation; Cancel there starts nothing either.
void TestMainWindow::extensionCheck()
{
    QFETCH(QString, name);
    QFETCH(QString, warning);
    makeWindow();
    filename->setText(name);
    ModalAnswer answer(false);
    updateButton->click();
    QCOMPARE(answer.title,
             warning.isEmpty() ? QStringLiteral("Image info") : QStringLiteral("Invalid filename"));
    QCOMPARE(answer.text, warning);
    QVERIFY(updateButton->isEnabled());
    QVERIFY(device->trace(QStringLiteral("flash")).isEmpty());
}

void TestMainWindow::verdict_data()
{
    QTest::addColumn<QByteArray>("setting");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("statusText"); // %1: the image's path
    QTest::addColumn<QString>("verdictText");
    const QString failed = QStringLiteral(
        "Update failed at component %1. The flash does not hold this image: do not restart the "
        "computer before an update has ended with \"Done\".");
    QTest::newRow("success") << QByteArray() << QByteArray() << done
                             << "All 3 components were written and verified.";
    QTest::newRow("image missing, its name wider than the window")
        << QByteArray("path") << QByteArray() << "Error reading update image %1"
        << "The flash was not changed. It is safe to restart the computer.";
    QTest::newRow("erase refused in the second of three")
        << QByteArray("ERASE_FAIL") << QByteArray("0x100000:1") << "Error erasing page at 0x100000"
        << failed.arg("KERN (2 of 3, at 0x100000)");
    QTest::newRow("page that never verifies, component without a name")
        << QByteArray("STUCK_BITS") << QByteArray("0x200010:1")
        << "Error verifying Flash memory at 0x200000" << failed.arg("0x200000 (3 of 3)");
}

// Closing is refused while the update runs. The status line, the bars and the times end as
// always; the verdict says what the end means.
void TestMainWindow::verdict()
{
    QFETCH(QByteArray, setting);
    QFETCH(QByteArray, value);
    QFETCH(QString, statusText);
    const QList<ImageComponent> components{{"BOOT", 0, 0x40000, 0, componentData(70000)},
                                           {"KERN", 0, 0x100000, 0, componentData(200000, 2)},
                                           {"", 0, 0x200000, 0, QByteArray(1000, '\xFF')}};
    QString path = device->makeImage(components);
    if (setting == "path")
        path = QStringLiteral("/missing/") + QStringLiteral("folder/").repeated(500) + "x.tarnru";
    else if (!setting.isEmpty())
        device->set(setting.constData(), value);
    makeWindow();
    filename->setText(path);
    ModalAnswer confirmation(true);
    updateButton->click();
    QCOMPARE(confirmation.title, QStringLiteral("Image info"));
    ModalAnswer warning(true);
    QVERIFY(!window->close());
    QCOMPARE(warning.title, QStringLiteral("Update in progress"));
    QTRY_VERIFY_WITH_TIMEOUT(updateButton->isEnabled(), 60000);

    statusText.replace(QLatin1String("%1"), path);
    auto *status = child<QLabel>("statusLabel");
    QCOMPARE(status->toolTip().isEmpty() ? status->text() : status->toolTip(), statusText);
    QTEST(child<QLabel>("verdictLabel")->text(), "verdictText");
    QCOMPARE(child<QProgressBar>("currentProgressBar")->value(), 100);
    QCOMPARE(child<QProgressBar>("totalProgressBar")->value(), 100);
    QCOMPARE(child<QLabel>("timeRemain")->text(), QStringLiteral("00:00:00"));
    QCOMPARE(window->width(), 614);
    QVERIFY(window->close());
}

// The dialog never shows one file's name over another file's components.
void TestMainWindow::infoDialogFollowsTheName()
{
    makeWindow();
    auto *infoButton = child<QPushButton>("imageInfoButton");
    filename->setText(device->makeImage({{"A", 0, 0, 0, "a"}}, "one.tarnru"));
    infoButton->click();
    auto *list = window->findChild<QListWidget *>("listWidget");
    QCOMPARE(list->count(), 1);
    filename->setText(device->makeImage({{"A", 0, 0, 0, "a"}, {"B", 0, 0, 0, "b"}}, "two.tarnru"));
    infoButton->click();
    QCOMPARE(list->count(), 2);
    device->makeImage({{"A", 0, 0, 0, "a"}}, "two.tarnru");
    infoButton->click();
    QCOMPARE(list->count(), 2); // the same name: shown as it is until shown anew
}

QTEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
