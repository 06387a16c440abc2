#include "MainWindow.h"
#include "ModalAnswer.h"
#include "SimulatedDevice.h"
#include "StartupOptions.h"
#include "TimeDisplay.h"

#include <QApplication>
#include <QFileDialog>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

namespace {

// A layout's entries as text: a widget or layout by its object name, a spacer by its size hint
// and policies.
QStringList entries(QLayout *layout)
{
    QStringList found;
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem *item = layout->itemAt(i);
        if (item->widget())
            found << item->widget()->objectName();
        else if (item->layout())
            found << item->layout()->objectName();
        else if (QSpacerItem *spacer = item->spacerItem())
            found << QStringLiteral("spacer %1x%2 %3/%4")
                         .arg(spacer->sizeHint().width())
                         .arg(spacer->sizeHint().height())
                         .arg(spacer->sizePolicy().horizontalPolicy())
                         .arg(spacer->sizePolicy().verticalPolicy());
    }
    return found;
}

const QString done = QStringLiteral("Done updating. It is now safe to restart the computer.");

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void freshWindow();
    void layoutTree_data();
    void layoutTree();
    void texts_data();
    void texts();
    void focusOrder();
    void installedVersions_data();
    void installedVersions();
    void withoutTheDriver_data();
    void withoutTheDriver();
    void extensionCheck_data();
    void extensionCheck();
    void fileChoice();
    void imageInfoIsModeless();
    void confirmationListsTheImageToBeWritten();
    void timeFormat();
    void updatesThroughTheWindow();
    void failedUpdateEndsTheSameWay();
    void closingIsRefusedWhileUpdating();

private:
    MainWindow *makeWindow();
    template <typename T> T *child(const char *name)
    {
        return window->findChild<T *>(QString::fromLatin1(name));
    }
    void startUpdate(const QString &path, bool confirm);

    SimulatedDevice *device = nullptr;
    MainWindow *window = nullptr;
};

void TestMainWindow::init()
{
    device = new SimulatedDevice;
    openWithoutDriver = false;
}

void TestMainWindow::cleanup()
{
    if (window) {
        // Never destroy a window whose update still runs.
        QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>("startUpdateButton")->isEnabled(), 60000);
    }
    delete window;
    window = nullptr;
    delete device;
}

MainWindow *TestMainWindow::makeWindow()
{
    window = new MainWindow;
    return window;
}

void TestMainWindow::startUpdate(const QString &path, bool confirm)
{
    child<QLineEdit>("filenameLineEdit")->setText(path);
    ModalAnswer confirmation;
    answerNextModal(&confirmation, confirm);
    child<QPushButton>("startUpdateButton")->click();
    QCOMPARE(confirmation.title, QStringLiteral("Image info"));
}

void TestMainWindow::freshWindow()
{
    makeWindow();
    QCOMPARE(window->windowTitle(), QStringLiteral("VORLAN Update Utility"));
    QCOMPARE(window->size(), QSize(614, 708));
    QCOMPARE(window->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(window->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(child<QLabel>("label_2")->text(),
             QStringLiteral("<html><head/><body><p>VORLAN Update Utility</p><p>Version 1.1</p>"
                            "<p><br/></p><p>KELDRA</p></body></html>"));
    QCOMPARE(child<QLabel>("label_2")->font().pointSize(), 15);
    QCOMPARE(child<QLabel>("label")->pixmap(Qt::ReturnByValue).size(), QSize(500, 94));
    QCOMPARE(child<QLabel>("label")->maximumSize(), QSize(1000, 16777215));
    QCOMPARE(child<QPushButton>("fileDialogButton")->maximumSize(), QSize(40, 16777215));
    for (const char *name : {"curVerTSLineEdit", "curVerSWLineEdit", "curPIDverLineEdit"})
        QVERIFY(!child<QLineEdit>(name)->isEnabled());
    for (const char *name : {"currentProgressBar", "totalProgressBar"})
        QCOMPARE(child<QProgressBar>(name)->value(), 0);
    for (const char *name : {"statusLabel", "timeElapsed", "timeRemain"})
        QVERIFY(child<QLabel>(name)->text().isEmpty());
    QVERIFY(child<QPushButton>("startUpdateButton")->isEnabled());
}

void TestMainWindow::layoutTree_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QStringList>("expected");
    const QString vExpanding = QStringLiteral("spacer 20x40 1/7");
    const QString vMinExpanding = QStringLiteral("spacer 20x20 1/3");
    const QString hExpanding = QStringLiteral("spacer 40x20 7/1");
    QTest::newRow("verticalLayout_4")
        << "verticalLayout_4"
        << QStringList{"verticalLayout", vMinExpanding,     "line", "horizontalLayout", "line_2",
                       vMinExpanding,    "verticalLayout_3"};
    QTest::newRow("verticalLayout")
        << "verticalLayout" << QStringList{vExpanding, "label_2", "horizontalLayout_2"};
    QTest::newRow("horizontalLayout_2")
        << "horizontalLayout_2" << QStringList{hExpanding, "label", hExpanding};
    QTest::newRow("horizontalLayout")
        << "horizontalLayout" << QStringList{hExpanding, "verticalLayout_2", hExpanding};
    QTest::newRow("verticalLayout_2") << "verticalLayout_2" << QStringList{"label_3", "formLayout"};
    QTest::newRow("formLayout") << "formLayout"
                                << QStringList{"curVerTSLabel",  "curVerTSLineEdit",
                                               "curVerSWLabel",  "curVerSWLineEdit",
                                               "curPIDverLabel", "curPIDverLineEdit"};
    QTest::newRow("verticalLayout_3")
        << "verticalLayout_3"
        << QStringList{"label_4",      "horizontalLayout_3", "horizontalLayout_4", vMinExpanding,
                       "formLayout_2", "statusLabel",        "horizontalLayout_5"};
    QTest::newRow("horizontalLayout_3")
        << "horizontalLayout_3" << QStringList{"filenameLineEdit", "fileDialogButton"};
    QTest::newRow("horizontalLayout_4")
        << "horizontalLayout_4" << QStringList{hExpanding, "imageInfoButton", "startUpdateButton"};
    QTest::newRow("horizontalLayout_5")
        << "horizontalLayout_5" << QStringList{hExpanding, "label_5",    "timeElapsed", hExpanding,
                                               "label_7",  "timeRemain", hExpanding};
}

void TestMainWindow::layoutTree()
{
    QFETCH(QString, layout);
    QFETCH(QStringList, expected);
    makeWindow();
    QLayout *found = window->findChild<QLayout *>(layout);
    QVERIFY(found);
    QCOMPARE(entries(found), expected);
    QCOMPARE(found->spacing(), 6);
}

void TestMainWindow::texts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("label_3") << "label_3"
                             << "Current Version of VORLAN System:";
    QTest::newRow("curVerTSLabel") << "curVerTSLabel"
                                   << "Current HW timestamp:";
    QTest::newRow("curVerSWLabel") << "curVerSWLabel"
                                   << "Current SW version:";
    QTest::newRow("curPIDverLabel") << "curPIDverLabel"
                                    << "Current PID version:";
    QTest::newRow("label_4") << "label_4"
                             << "VORLAN Update Image file:";
    QTest::newRow("fileDialogButton") << "fileDialogButton"
                                      << "...";
    QTest::newRow("imageInfoButton") << "imageInfoButton"
                                     << "Get Image Info";
    QTest::newRow("startUpdateButton") << "startUpdateButton"
                                       << "Update";
    QTest::newRow("operationProgressLabel") << "operationProgressLabel"
                                            << "Current progress:";
    QTest::newRow("totalProgressLabel") << "totalProgressLabel"
                                        << "Total progress:";
    QTest::newRow("label_5") << "label_5"
                             << "Time elapsed:";
    QTest::newRow("label_7") << "label_7"
                             << "Time remaining: ";
    QTest::newRow("placeholder") << "filenameLineEdit"
                                 << "Enter image file name or search for it (button '...')";
}

void TestMainWindow::texts()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    makeWindow();
    QObject *widget = window->findChild<QObject *>(name);
    QVERIFY(widget);
    const char *property = name == "filenameLineEdit" ? "placeholderText" : "text";
    QCOMPARE(widget->property(property).toString(), text);
}

void TestMainWindow::focusOrder()
{
    makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    auto *formLayout2 = window->findChild<QFormLayout *>("formLayout_2");
    QCOMPARE(formLayout2->rowCount(), 3);
    QVERIFY(!formLayout2->itemAt(0, QFormLayout::LabelRole));
    QVERIFY(!formLayout2->itemAt(0, QFormLayout::FieldRole));
    QCOMPARE(formLayout2->itemAt(1, QFormLayout::LabelRole)->widget()->objectName(),
             QStringLiteral("operationProgressLabel"));

    QWidget *widget = child<QLineEdit>("filenameLineEdit");
    widget->setFocus();
    QStringList order{widget->objectName()};
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(order, QStringList({"filenameLineEdit", "fileDialogButton", "imageInfoButton",
                                 "startUpdateButton"}));
}

void TestMainWindow::installedVersions_data()
{
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("answered") << QByteArray() << QStringList({"4294967295", "1.2.34", "0.1.02"});
    QTest::newRow("status 0xF") << QByteArray("0xF")
                                << QStringList({"1406615411", "0.0.90", "0.0.90"});
}

void TestMainWindow::installedVersions()
{
    QFETCH(QByteArray, status);
    QFETCH(QStringList, fields);
    device->set("MAILBOX_STATUS", status);
    device->set("SOFTWARE", "0x04030201");
    device->set("TIMESTAMP", "0xFFFFFFFF");
    makeWindow();
    QCOMPARE(QStringList({child<QLineEdit>("curVerTSLineEdit")->text(),
                          child<QLineEdit>("curVerSWLineEdit")->text(),
                          child<QLineEdit>("curPIDverLineEdit")->text()}),
             fields);
}

void TestMainWindow::withoutTheDriver_data()
{
    QTest::addColumn<QByteArray>("setting");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("forced");
    QTest::newRow("no driver") << QByteArray("MAILBOX") << QByteArray("missing") << false;
    QTest::newRow("no driver, forced") << QByteArray("MAILBOX") << QByteArray("missing") << true;
    QTest::newRow("third request fails") << QByteArray("MAILBOX_FAIL") << QByteArray("3") << false;
}

void TestMainWindow::withoutTheDriver()
{
    QFETCH(QByteArray, setting);
    QFETCH(QByteArray, value);
    QFETCH(bool, forced);
    device->set(setting.constData(), value);
    openWithoutDriver = forced;
    ModalAnswer critical;
    answerNextModal(&critical, true);
    makeWindow();
    QCOMPARE(critical.title, QStringLiteral("Cannot open file"));
    QCOMPARE(critical.text, QStringLiteral("System file /dev/tarn_mailbox could not be opened.\n\n"
                                           "Please check if VORLAN driver is loaded.\n"
                                           "Application will now quit.\n"));
    for (const char *name : {"curVerTSLineEdit", "curVerSWLineEdit", "curPIDverLineEdit"})
        QVERIFY(child<QLineEdit>(name)->text().isEmpty());
    QVERIFY(child<QPushButton>("startUpdateButton")); // the whole window was still built
    window->show();
    QTest::qWait(50);
    QCOMPARE(window->isVisible(), forced);
}

void TestMainWindow::extensionCheck_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("warning"); // empty when the name is accepted
    const QString refused =
        QStringLiteral("The filename is not valid.\n\nExpecting file extenison: .tarnru, "
                       "instead got: .");
    QTest::newRow("image.tarnru") << "image.tarnru" << QString();
    QTest::newRow("trailing dot") << "image.tarnru." << QString();
    QTest::newRow("bare tarnru") << "tarnru" << QString();
    QTest::newRow("upper case") << "image.TARNRU" << refused + "TARNRU";
    QTest::newRow("no dot") << "image" << refused + "image";
    QTest::newRow("empty") << "" << refused;
    QTest::newRow("dot in a folder") << "/tmp/v1.2/image" << refused + "2/image";
}

void TestMainWindow::extensionCheck()
{
    QFETCH(QString, name);
    QFETCH(QString, warning);
    makeWindow();
    child<QLineEdit>("filenameLineEdit")->setText(name);
    ModalAnswer answer;
    answerNextModal(&answer, false);
    child<QPushButton>("startUpdateButton")->click();
    if (warning.isEmpty()) {
        // Accepted: the confirmation came up, with the name handed on unchanged; Cancel stops.
        QCOMPARE(answer.title, QStringLiteral("Image info"));
        QCOMPARE(window->findChild<QDialog *>()->findChild<QLineEdit *>("filenameLineEdit")->text(),
                 name);
    } else {
        QCOMPARE(answer.title, QStringLiteral("Invalid filename"));
        QCOMPARE(answer.text, warning);
    }
    QTest::qWait(50);
    QVERIFY(child<QPushButton>("startUpdateButton")->isEnabled());
    QVERIFY(child<QLabel>("statusLabel")->text().isEmpty());
    QVERIFY(device->traceMatching("flash").isEmpty());
}

void TestMainWindow::fileChoice()
{
    makeWindow();
    auto *name = child<QLineEdit>("filenameLineEdit");
    name->setText("before.tarnru");
    const QString chosen = device->makeImage({{"A", 0, 0, 0, "x"}});
    for (const bool choose : {false, true}) {
        QString title, filter;
        onNextModal([&](QDialog *modal) {
            auto *dialog = qobject_cast<QFileDialog *>(modal);
            title = modal->windowTitle();
            filter = dialog ? dialog->nameFilters().join(';') : QString();
            if (dialog && choose) {
                // Typed into the dialog's name field, as a user would.
                dialog->findChild<QLineEdit *>("fileNameEdit")->setText(chosen);
                modal->done(QDialog::Accepted);
            } else {
                modal->reject();
            }
        });
        child<QPushButton>("fileDialogButton")->click();
        QCOMPARE(title, QStringLiteral("Open VORLAN Update Image file"));
        QCOMPARE(filter, QStringLiteral("VORLAN RU Image (*.tarnru)"));
        QCOMPARE(name->text(), choose ? chosen : QStringLiteral("before.tarnru"));
    }
}

void TestMainWindow::imageInfoIsModeless()
{
    makeWindow();
    child<QLineEdit>("filenameLineEdit")->setText(device->makeImage({{"A", 0, 0, 0, "x"}}));
    child<QPushButton>("imageInfoButton")->click();
    auto *dialog = window->findChild<QDialog *>();
    QVERIFY(dialog->isVisible());
    QVERIFY(!dialog->isModal());
    QCOMPARE(dialog->findChild<QListWidget *>()->count(), 1);
    QVERIFY(child<QPushButton>("startUpdateButton")->isEnabled());
}

void TestMainWindow::confirmationListsTheImageToBeWritten()
{
    makeWindow();
    auto *name = child<QLineEdit>("filenameLineEdit");
    name->setText(device->makeImage({{"OLD", 0, 0, 0, "x"}}, "old.tarnru"));
    child<QPushButton>("imageInfoButton")->click();
    name->setText(device->makeImage({{"NEW1", 0, 0, 0, "x"}, {"NEW2", 0, 0, 0, "y"}}));

    int rows = -1;
    bool modal = false;
    QTimer::singleShot(100, qApp, [&] {
        auto *dialog = window->findChild<QDialog *>();
        rows = dialog->findChild<QListWidget *>()->count();
        modal = QApplication::activeModalWidget() == dialog;
        dialog->reject();
    });
    child<QPushButton>("startUpdateButton")->click();
    QCOMPARE(rows, 2);
    QVERIFY(modal);
}

void TestMainWindow::timeFormat()
{
    QCOMPARE(durationText(3725), QStringLiteral("01:02:05"));
    QCOMPARE(durationText(90000), QStringLiteral("01:00:00"));
    // The same as the UTC time of day, over the whole unsigned range.
    for (quint32 seconds : {0u, 59u, 86399u, 86400u, 1406615411u, 4294967295u})
        QCOMPARE(
            durationText(seconds),
            QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC).toString(QStringLiteral("hh:mm:ss")));
    QCOMPARE(remainingTimeText(30, 30000, 25), QStringLiteral("00:01:30"));
    QCOMPARE(remainingTimeText(5, 5000, 0), QStringLiteral(" - "));
}

void TestMainWindow::updatesThroughTheWindow()
{
    makeWindow();
    window->show();
    for (quint32 seed : {1u, 2u}) {
        const QByteArray data = componentData(200000, seed);
        startUpdate(device->makeImage({{"APP", 0, 0x100000, 0, data}}), true);
        QVERIFY(!child<QPushButton>("startUpdateButton")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>("startUpdateButton")->isEnabled(), 60000);
        QCOMPARE(child<QLabel>("statusLabel")->text(), done);
        QCOMPARE(device->flash(0x100000, data.size()), data);
        QCOMPARE(child<QProgressBar>("totalProgressBar")->value(), 100);
        QCOMPARE(child<QLabel>("timeRemain")->text(), QStringLiteral("00:00:00"));
        QVERIFY(!child<QLabel>("timeElapsed")->text().isEmpty());
    }
}

void TestMainWindow::failedUpdateEndsTheSameWay()
{
    device->set("ERASE_FAIL", "0x100000:1");
    makeWindow();
    startUpdate(device->makeImage({{"APP", 0, 0x100000, 0, componentData(5000)}}), true);
    QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>("startUpdateButton")->isEnabled(), 60000);
    QCOMPARE(child<QLabel>("statusLabel")->text(),
             QStringLiteral("Error erasing page at 0x100000"));
    QCOMPARE(child<QProgressBar>("currentProgressBar")->value(), 100);
    QCOMPARE(child<QProgressBar>("totalProgressBar")->value(), 100);
    QCOMPARE(child<QLabel>("timeRemain")->text(), QStringLiteral("00:00:00"));
    QCOMPARE(child<QLabel>("timeElapsed")->text(), QStringLiteral("00:00:00"));
}

void TestMainWindow::closingIsRefusedWhileUpdating()
{
    device->set("ERASE_US", "300000");
    makeWindow();
    window->show();
    startUpdate(device->makeImage({{"APP", 0, 0x100000, 0, componentData(5000)}}), true);
    QTRY_VERIFY(!child<QLabel>("statusLabel")->text().isEmpty());

    ModalAnswer warning;
    answerNextModal(&warning, true);
    QVERIFY(!window->close());
    QCOMPARE(warning.title, QStringLiteral("Update in progress"));
    QCOMPARE(warning.text,
             QStringLiteral("The flash memory is being updated. Closing the tool now could leave "
                            "the VORLAN system unable to start.\n\nPlease wait until the update "
                            "has finished."));
    QVERIFY(window->isVisible());

    QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>("startUpdateButton")->isEnabled(), 60000);
    QCOMPARE(child<QLabel>("statusLabel")->text(), done);
    QVERIFY(window->close());
}

QTEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
