#include "ImageInfoDialog.h"
#include "ImageItem.h"
#include "SimulatedDevice.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

namespace {

QStringList rowTexts(QListWidget *list, int row)
{
    QWidget *item = list->itemWidget(list->item(row));
    QStringList texts{item->findChild<QLabel *>("nameLabel")->text()};
    for (const char *name : {"versionLineEdit", "minHWlineEdit", "addresLineEdit", "sizeLineEdit"})
        texts << item->findChild<QLineEdit *>(name)->text();
    return texts;
}

} // namespace

class TestImageInfoDialog : public QObject
{
    Q_OBJECT

private slots:
    void listsEveryComponentInFileOrder();
    void unreadableImagesShowAnEmptyList_data();
    void unreadableImagesShowAnEmptyList();
    void readsTheFileOnEveryShowOnly();
    void modalResult_data();
    void modalResult();
    void itemWidgetFields();

private:
    SimulatedDevice files;
};

void TestImageInfoDialog::listsEveryComponentInFileOrder()
{
    const QString path =
        files.makeImage({{"BOOT", 0x01020304, 0x0, 2, QByteArray(100, 'a')},
                         {"ABC", 0x0A000B0C, 0xFF, 4294967295u, QByteArray(10, 'b')},
                         {"", 0, 0x1a0000, 0, QByteArray()}});
    ImageInfoDialog dialog;
    dialog.setFilename(path);
    QCOMPARE(dialog.findChild<QLineEdit *>("filenameLineEdit")->text(), path);
    dialog.show();
    auto *list = dialog.findChild<QListWidget *>("listWidget");
    QCOMPARE(list->count(), 3);
    QCOMPARE(rowTexts(list, 0), QStringList({"BOOT", "1.2.34", "2", "0x0", "132"}));
    QCOMPARE(rowTexts(list, 1), QStringList({"ABC", "10.0.1112", "4294967295", "0xff", "42"}));
    QCOMPARE(rowTexts(list, 2), QStringList({"", "0.0.00", "0", "0x1a0000", "32"}));
    for (int row = 0; row < list->count(); ++row)
        QCOMPARE(list->item(row)->sizeHint(), QSize(465, 128));
}

void TestImageInfoDialog::unreadableImagesShowAnEmptyList_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("no name") << QString();
    QTest::newRow("missing file") << QStringLiteral("missing.tarnru");
}

void TestImageInfoDialog::unreadableImagesShowAnEmptyList()
{
    QFETCH(QString, name);
    ImageInfoDialog dialog;
    dialog.setFilename(files.makeImage({{"A", 0, 0, 0, "x"}}));
    dialog.show();
    dialog.hide();
    dialog.setFilename(name.isEmpty() ? name : files.path(name));
    dialog.show();
    QCOMPARE(dialog.findChild<QListWidget *>("listWidget")->count(), 0);
    QVERIFY(dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->isEnabled());
}

void TestImageInfoDialog::readsTheFileOnEveryShowOnly()
{
    const QString path = files.makeImage({{"A", 0, 0, 0, "x"}}, "changing.tarnru");
    ImageInfoDialog dialog;
    auto *list = dialog.findChild<QListWidget *>("listWidget");
    dialog.setFilename(path);
    QTest::ignoreMessage(QtDebugMsg, "virtual void ImageInfoDialog::showEvent(QShowEvent*)");
    dialog.show();
    QCOMPARE(list->count(), 1);

    files.makeImage({{"A", 0, 0, 0, "x"}, {"B", 0, 0, 0, "y"}}, "changing.tarnru");
    dialog.show();
    QCOMPARE(list->count(), 1);

    dialog.hide();
    QTest::ignoreMessage(QtDebugMsg, "virtual void ImageInfoDialog::showEvent(QShowEvent*)");
    dialog.show();
    QCOMPARE(list->count(), 2);
}

void TestImageInfoDialog::modalResult_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("result");
    QTest::newRow("OK") << "ok" << 1;
    QTest::newRow("Cancel") << "cancel" << 0;
    QTest::newRow("Escape") << "escape" << 0;
    QTest::newRow("closed") << "close" << 0;
}

void TestImageInfoDialog::modalResult()
{
    QFETCH(QString, how);
    ImageInfoDialog dialog;
    dialog.setFilename(files.makeImage({{"A", 0, 0, 0, "x"}}));
    QTimer::singleShot(0, &dialog, [&] {
        auto *buttons = dialog.findChild<QDialogButtonBox *>();
        if (how == "ok")
            buttons->button(QDialogButtonBox::Ok)->click();
        else if (how == "cancel")
            buttons->button(QDialogButtonBox::Cancel)->click();
        else if (how == "escape")
            QTest::keyClick(&dialog, Qt::Key_Escape);
        else
            dialog.close();
    });
    QTEST(dialog.exec(), "result");
}

void TestImageInfoDialog::itemWidgetFields()
{
    ImageItem item;
    auto *heading = item.findChild<QLabel *>("nameLabel");
    const QList<QLineEdit *> fields{item.findChild<QLineEdit *>("versionLineEdit"),
                                    item.findChild<QLineEdit *>("minHWlineEdit"),
                                    item.findChild<QLineEdit *>("addresLineEdit"),
                                    item.findChild<QLineEdit *>("sizeLineEdit")};
    QCOMPARE(heading->text(), QStringLiteral("Name"));
    for (QLineEdit *field : fields) {
        QVERIFY(field->text().isEmpty());
        QVERIFY(!field->isEnabled());
    }
    item.setFields("N1", "1.2.34", "3", "0x10", "40");
    item.setFields("", "5.6.78", "9", "0x20", "50");
    QCOMPARE(heading->text(), QString());
    QStringList texts;
    for (QLineEdit *field : fields)
        texts << field->text();
    QCOMPARE(texts, QStringList({"5.6.78", "9", "0x20", "50"}));
    QCOMPARE(item.findChild<QLabel *>("minWHLabel")->text(), QStringLiteral("Min HW:"));
}

QTEST_MAIN(TestImageInfoDialog)
#include "TestImageInfoDialog.moc"
