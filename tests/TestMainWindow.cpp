// The main window driven as a user drives it, against the simulated driver.

#include "AccessiblePacer.h"
#include "FlashCopies.h"
#include "FlashJournal.h"
#include "Legibility.h"
#include "MainWindow.h"
#include "SigningKeys.h"
#include "SimulatedDevice.h"
#include "StartupOptions.h"
#include "StateFolder.h"
#include "TimeDisplay.h"
#include "TrustPolicy.h"
#include "UpdateVerdict.h"
#include "VerdictLabel.h"
#include "VorlanDriver.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCryptographicHash>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>

#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString done = QStringLiteral("Done updating. It is now safe to restart the computer.");
const QString failed = QStringLiteral(
    "Update failed at component %1. The flash does not hold this image: do not restart the "
    "computer before an update has ended with \"Done\".");

// Answers every modal window once it is up, by its title (No to any other), and keeps what each
// one said. It stops with the test.
struct Answers : QObject
{
    Answers()
    {
        connect(&poll, &QTimer::timeout, this, [this] {
            auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!modal || !modal->isVisible())
                return;
            const bool yes = answer.value(modal->windowTitle());
            if (onModal)
                onModal(modal->windowTitle());
            auto *box = qobject_cast<QMessageBox *>(modal);
            seen << modal->windowTitle() + ": " + (box ? box->text() : QString());
            if (box && box->button(QMessageBox::Yes))
                box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
            else
                yes ? modal->accept() : modal->reject();
        });
        poll.start(10);
    }
    QHash<QString, bool> answer{{"Image info", true}};
    QStringList seen;
    std::function<void(const QString &title)> onModal; // sees the window as the modal came up
    QTimer poll;
};

// Neither erased nor like any image, so that a restored flash is told from any other.
QByteArray formerFlash()
{
    QByteArray content(0x400000, Qt::Uninitialized);
    for (int i = 0; i < content.size(); ++i)
        content[i] = char(0x3C ^ ((i >> 10) & 0x7F));
    return content;
}

// What the window tells assistive technology, as a screen reader's bridge receives it.
struct Told
{
    QAccessible::Event type;
    QObject *object;
    QAccessible::Role role;
    QString name;
    int value;
};
QList<Told> told;

void tell(QAccessibleEvent *event)
{
    QAccessibleInterface *interface = event->accessibleInterface();
    const auto *change = dynamic_cast<QAccessibleValueChangeEvent *>(event);
    told << Told{event->type(), event->object(),
                 interface ? interface->role() : QAccessible::NoRole,
                 interface ? interface->text(QAccessible::Name) : QString(),
                 change ? change->value().toInt() : -1};
}

// Every control and row that a screen reader would meet without a name, with its role; a label
// may be described instead, as one that shows a time before any is known.
QStringList unnamed(QAccessibleInterface *interface)
{
    static const QSet<QAccessible::Role> containers{
        QAccessible::Client,    QAccessible::Window,    QAccessible::Grouping, QAccessible::Pane,
        QAccessible::Separator, QAccessible::StatusBar, QAccessible::ToolBar,  QAccessible::MenuBar,
        QAccessible::ScrollBar, QAccessible::Border,    QAccessible::Grip};
    QStringList found;
    if (interface->state().invisible)
        return found;
    const QAccessible::Role role = interface->role();
    const bool described =
        role == QAccessible::StaticText && !interface->text(QAccessible::Description).isEmpty();
    if (!containers.contains(role) && interface->text(QAccessible::Name).isEmpty() && !described)
        found << QStringLiteral("%1 (role 0x%2)")
                     .arg(interface->object() ? interface->object()->objectName() : QString())
                     .arg(role, 0, 16);
    for (int i = 0; i < interface->childCount(); ++i)
        found << unnamed(interface->child(i));
    return found;
}

QString sha256(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { keys = new SigningKeys; }
    void cleanupTestCase() { delete keys; }
    void init();
    void cleanup();

    void forceOption_data();
    void forceOption();
    void startupArguments_data();
    void startupArguments();
    void timeTexts_data();
    void timeTexts();
    void installedVersions_data();
    void installedVersions();
    void extensionCheck_data();
    void extensionCheck();
    void verdict_data();
    void verdict();
    void failureRemembered();
    void damagedRecordWayOut();
    void unguardedUpdateRefused();
    void infoDialogFollowsTheName();
    void signatureShown_data();
    void signatureShown();
    void screenReaderHears_data();
    void screenReaderHears();
    void accessiblePace();
    void legibleOnEveryPalette_data();
    void legibleOnEveryPalette();

private:
    void makeWindow();
    bool update(const QString &path, bool putBack);
    bool ended() const; // the update, and what its answer started, are over
    template <typename T> T *child(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    QString shownVerdict() const { return child<QLabel>("verdictLabel")->text(); }

    SigningKeys *keys = nullptr;
    SimulatedDevice *device = nullptr;
    Answers *answers = nullptr;
    MainWindow *window = nullptr;
    QLineEdit *filename = nullptr;
    QPushButton *updateButton = nullptr;
    const QList<ImageComponent> components{{"BOOT", 0, 0x40000, 0, componentData(70000)},
                                           {"KERN", 0, 0x100000, 0, componentData(200000, 2)},
                                           {"", 0, 0x200000, 0, QByteArray(1000, '\xFF')}};
};

void TestMainWindow::init()
{
    device = new SimulatedDevice;
    device->setFlash(formerFlash());
    keys->reset();
    answers = new Answers;
    openWithoutDriver = false;
}

void TestMainWindow::cleanup()
{
    // A window whose update still runs is never destroyed; one that ended closed the node. What
    // the test made goes on every path, so that a failed test leaves nothing running into the
    // next.
    const bool stopped =
        !window ||
        QTest::qWaitFor([this] { return !window->findChild<UpdateVerdict *>()->running(); }, 30000);
    const bool closed = device->trace("flash open").size() == device->trace("flash close").size();
    delete answers;
    if (stopped) {
        delete window;
        window = nullptr;
    }
    delete device;
    QVERIFY(stopped);
    QVERIFY(closed);
}

void TestMainWindow::makeWindow()
{
    delete window;
    window = new MainWindow;
    window->show();
    filename = child<QLineEdit>("filenameLineEdit");
    updateButton = child<QPushButton>("startUpdateButton");
}

void TestMainWindow::forceOption_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("forced");
    QTest::newRow("none") << QStringList() << false;
    QTest::newRow("-f") << QStringList{"-f"} << true;
    QTest::newRow("--force, more after it") << QStringList{"--force", "-style", "fusion"} << true;
    QTest::newRow("upper case") << QStringList{"-F"} << false;
    QTest::newRow("one dash") << QStringList{"-force"} << false;
    QTest::newRow("trailing blank") << QStringList{"--force "} << false;
    QTest::newRow("with a value") << QStringList{"-f=1"} << false;
    QTest::newRow("second place") << QStringList{"-style", "-f"} << false;
}

void TestMainWindow::forceOption()
{
    QFETCH(QStringList, arguments);
    std::vector<QByteArray> bytes{"vorlan-update"};
    for (const QString &argument : arguments)
        bytes.push_back(argument.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &argument : bytes)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    QTEST(forceOptionGiven(int(bytes.size()), argv.data()), "forced");
}

void TestMainWindow::startupArguments_data()
{
    QTest::addColumn<QStringList>("arguments"); // as Qt leaves them
    QTest::addColumn<QString>("printed");       // the start of it; empty: the window opens
    QTest::addColumn<QString>("image");
    QTest::newRow("a file manager's image") << QStringList{"/a/b c.tarnru"} << ""
                                            << "/a/b c.tarnru";
    QTest::newRow("forced, with an image") << QStringList{"-f", "x.tarnru"} << ""
                                           << "x.tarnru";
    QTest::newRow("two images: none") << QStringList{"a.tarnru", "b.tarnru"} << ""
                                      << "";
    QTest::newRow("an image after --") << QStringList{"--", "-x.tarnru"} << ""
                                       << "-x.tarnru";
    QTest::newRow("help") << QStringList{"x.tarnru", "--help"} << "Usage: vorlan-update ["
                          << "x.tarnru";
    QTest::newRow("version") << QStringList{"--version"} << "vorlan-update 1.1\n"
                             << "";
    QTest::newRow("--help as an image") << QStringList{"--", "--help"} << ""
                                        << "--help";
}

// The help and the version are printed without a display, and so without a window; an image
// named is only filled in.
void TestMainWindow::startupArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, printed);
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.insert("QT_QPA_PLATFORM", "xcb"); // which fails at once without a display
    tool.setProcessEnvironment(environment);
    tool.start(VORLAN_UPDATE_BINARY, arguments);
    QVERIFY(tool.waitForFinished(10000));
    QCOMPARE(tool.exitCode() == 0, !printed.isEmpty());
    const QString output = QString::fromLocal8Bit(tool.readAllStandardOutput());
    QVERIFY2(printed.isEmpty() ? !output.contains("Usage") : output.startsWith(printed),
             qPrintable(output));
    QTEST(imageArgument(QStringList{"vorlan-update"} + arguments), "image");
}

void TestMainWindow::timeTexts_data()
{
    QTest::addColumn<qint64>("elapsedMs");
    QTest::addColumn<int>("progress");
    QTest::addColumn<QString>("elapsed");
    QTest::addColumn<QString>("remaining");
    QTest::newRow("nothing done yet") << qint64(5000) << 0 << "00:00:05"
                                      << " - ";
    QTest::newRow("a quarter in 30 s") << qint64(30000) << 25 << "00:00:30"
                                       << "00:01:30";
    QTest::newRow("hours") << qint64(3725000) << 50 << "01:02:05"
                           << "01:02:05";
    QTest::newRow("past 24 hours") << qint64(90000000) << 100 << "01:00:00"
                                   << "00:00:00";
    // Seconds are cut, not rounded: 1999 ms is 1 s shown, a whole of 3 s estimated at 66 %.
    QTest::newRow("truncated") << qint64(1999) << 66 << "00:00:01"
                               << "00:00:02";
}

void TestMainWindow::timeTexts()
{
    QFETCH(qint64, elapsedMs);
    QFETCH(int, progress);
    QTEST(durationText(quint32(elapsedMs / 1000)), "elapsed");
    QTEST(remainingTimeText(elapsedMs / 1000, elapsedMs, progress), "remaining");
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
    makeWindow();
    QStringList shown;
    for (const char *name : {"curVerTSLineEdit", "curVerSWLineEdit", "curPIDverLineEdit"})
        shown << child<QLineEdit>(name)->text();
    QCOMPARE(shown.join(' ').trimmed(), fields);
    QCOMPARE(answers->seen.join("").startsWith("Cannot open file: System file /dev/tarn_mailbox"),
             fields.isEmpty());
    QTest::qWait(50);
    QCOMPARE(window->isVisible(), !fields.isEmpty() || openWithoutDriver);
}

void TestMainWindow::extensionCheck_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("warning"); // empty: the name is accepted
    const QString refused = QStringLiteral("Invalid filename: The filename is not valid.\n\n"
                                           "Expecting file extension: .tarnru, instead got: .");
    QTest::newRow("trailing dot") << "image.tarnru." << QString();
    QTest::newRow("bare tarnru") << "tarnru" << QString();
    QTest::newRow("upper case") << "image.TARNRU" << refused + "TARNRU";
    QTest::newRow("only the start of it") << "image.tarn" << refused + "tarn";
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
    answers->answer["Image info"] = false;
    updateButton->click();
    QCOMPARE(answers->seen, QStringList{warning.isEmpty() ? "Image info: " : warning});
    QVERIFY(updateButton->isEnabled());
    QVERIFY(device->trace(QStringLiteral("flash")).isEmpty());
}

void TestMainWindow::verdict_data()
{
    QTest::addColumn<QByteArray>("setting");
    QTest::addColumn<QByteArray>("value");
    // %1 the image, %2 the copy, %3 the state folder, %4 the image with its control characters
    // written out
    QTest::addColumn<QString>("verdictText");
    QTest::addColumn<QString>("question"); // asked after the update
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QString>("statusText"); // at the end, after what the answer started
    QTest::addColumn<QString>("finalVerdict");
    QTest::addColumn<bool>("flashAsBefore");
    const QString copy = QStringLiteral(" A copy of the flash as it was before is in %2.");
    const QString putBack =
        QStringLiteral("Update failed: Put back the flash as it was before this update?");
    const QString unchanged =
        QStringLiteral("The flash was not changed. It is safe to restart the computer.");
    const QString all = QStringLiteral("All 3 components were written and verified.");
    const QString busy = QStringLiteral("Another program is updating the flash. Do not restart the "
                                        "computer before it has finished.");
    // Slow enough that a second passes, which the elapsed time must show.
    QTest::newRow("success") << QByteArray("ERASE_US") << QByteArray("150000") << all << QString()
                             << false << done << all << false;
    QTest::newRow("image missing, its name wider than the window")
        << QByteArray("path") << QByteArray() << unchanged << QString() << false
        << "Error reading update image %1: it does not exist" << unchanged << true;
    QTest::newRow("image missing, control characters in its name")
        << QByteArray("steering") << QByteArray() << unchanged << QString() << false
        << "Error reading update image %4: it does not exist" << unchanged << true;
    QTest::newRow("erase refused in the second of three, put back")
        << QByteArray("ERASE_FAIL") << QByteArray("0x100000:1")
        << failed.arg("KERN (2 of 3, at 0x100000)") + copy << putBack << true << done << all
        << true;
    QTest::newRow("page that never verifies, component without a name, not put back")
        << QByteArray("STUCK_BITS") << QByteArray("0x200010:1")
        << failed.arg("0x200000 (3 of 3)") + copy << putBack << false
        << "Error verifying Flash memory at 0x200000" << failed.arg("0x200000 (3 of 3)") + copy
        << false;
    QTest::newRow("another program holds the flash")
        << QByteArray("held") << QByteArray() << busy << QString() << false
        << "The flash memory is being updated by another program." << busy << true;
    // Another file of the same layout under the name once the dialog has read it.
    QTest::newRow("image replaced while the confirmation is shown")
        << QByteArray("replace") << QByteArray() << unchanged << QString() << false
        << "The SHA-256 of the update image %1 is %new, not the expected %old." << unchanged
        << true;
    // Others may write to the state folder: nothing is done, and the status bar says why.
    const QString open =
        QStringLiteral("The state folder cannot be used: %3 is writable by others.");
    const QString notKnown = QStringLiteral("The flash was not changed by this update.");
    QTest::newRow("state folder writable by others")
        << QByteArray("state") << QByteArray() << notKnown << QString() << false << open << notKnown
        << true;
}

// Closing is refused while the update runs. The status line, the bars and the times end as
// always; the verdict says what the end means, and what the user answers then is done.
void TestMainWindow::verdict()
{
    QFETCH(QByteArray, setting);
    QFETCH(QByteArray, value);
    QFETCH(QString, verdictText);
    QFETCH(QString, question);
    QFETCH(bool, answer);
    QFETCH(QString, statusText);
    QString path = device->makeImage(components);
    const int holder = setting == "held" ? open(flashNodePath, O_RDWR) : -1;
    if (setting == "path")
        path = QStringLiteral("/missing/") + QStringLiteral("folder/").repeated(500) + "x.tarnru";
    else if (setting == "steering")
        path = device->path(QStringLiteral("x\n\x1b[2J\u202e.tarnru"));
    else if (setting == "state")
        QCOMPARE(chmod(QFile::encodeName(StateFolder().path()).constData(), 0777), 0);
    else if (setting == "held")
        QCOMPARE(flock(holder, LOCK_EX | LOCK_NB), 0);
    else if (setting != "replace")
        device->set(setting.constData(), value);
    const QString shown256 = sha256(path);
    makeWindow();
    const int width = window->width();
    QString shown; // the verdict when the question came up
    answers->answer["Update failed"] = answers->answer["No copy of the flash"] = answer;
    answers->onModal = [&](const QString &title) {
        // A key that was on its way as the confirmation came up starts nothing.
        if (title == QLatin1String("Image info")) {
            QWidget *confirmation = QApplication::activeModalWidget();
            QTest::keyClick(confirmation, Qt::Key_Return);
            QVERIFY(confirmation->isVisible());
        }
        if (title == QLatin1String("Image info") && setting == "replace") {
            QList<ImageComponent> other = components;
            other[1].data = componentData(200000, 7);
            device->makeImage(other);
        }
        if (title != QLatin1String("Update failed"))
            return;
        shown = shownVerdict();
        device->set("ERASE_FAIL", "");  // a fault that passes: what the answer starts goes through
        answers->answer[title] = false; // and the question is answered once
        // A key that was on its way as the question came up answers nothing.
        auto *question = QApplication::activeModalWidget();
        QTest::keyClick(question, answer ? Qt::Key_Escape : Qt::Key_Return);
        QVERIFY(question->isVisible());
    };
    filename->setText(path);
    updateButton->click();
    QElapsedTimer clock;
    clock.start();
    const QString warning = QStringLiteral("Update in progress: The flash memory is being updated. "
                                           "Closing the tool now could leave the VORLAN system "
                                           "unable to start.\n\nPlease wait until the update has "
                                           "finished.");
    if (setting == "ERASE_US") {  // still running for a while: neither Ctrl+Q nor closing ends it
        window->activateWindow(); // back from the confirmation, as a window manager does
        QVERIFY(QTest::qWaitFor([this] { return QApplication::activeWindow() == window; }, 5000));
        QTest::keyClick(window, Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(!window->close());
        QCOMPARE(answers->seen.mid(answers->seen.size() - 2).join("|"),
                 QStringList({warning, warning}).join("|"));
        QVERIFY(window->isVisible());
    }
    QFETCH(QString, finalVerdict);
    const auto fill = [&](QString text) {
        const StateFolder folder;
        return text.replace(QLatin1String("%1"), path)
            .replace(QLatin1String("%2"), FlashCopies::list(folder).value(0).path)
            .replace(QLatin1String("%3"), folder.path())
            .replace(QLatin1String("%4"), device->path(R"(x\x0a\x1b[2J\u202e.tarnru)"))
            .replace(QLatin1String("%old"), shown256)
            .replace(QLatin1String("%new"), sha256(path));
    };
    QVERIFY(QTest::qWaitFor([this] { return ended(); }, 30000));
    QVERIFY(updateButton->isEnabled());
    QCOMPARE(shownVerdict(), fill(finalVerdict));
    const qint64 seconds = clock.elapsed() / 1000;

    const QStringList questions =
        answers->seen.filter(QRegularExpression("^(Update failed|No copy)"));
    QCOMPARE(questions.value(0), fill(question));
    QCOMPARE(question.isEmpty() ? shownVerdict() : shown, fill(verdictText));
    statusText = fill(statusText);
    auto *status = child<QLabel>("statusLabel");
    // A text wider than the label is elided in the middle: its start and its end stay.
    const bool elided =
        status->fontMetrics().horizontalAdvance(statusText) > status->contentsRect().width();
    QVERIFY(elided || setting != "path");
    QCOMPARE(elided ? status->toolTip() : status->text(), statusText);
    QCOMPARE(status->toolTip().isEmpty(), !elided);
    QVERIFY(status->text().startsWith(statusText.left(elided ? 20 : -1)));
    QVERIFY(status->text().endsWith(statusText.right(elided ? 10 : -1)));
    QCOMPARE(child<QProgressBar>("currentProgressBar")->value(), 100);
    QCOMPARE(child<QProgressBar>("totalProgressBar")->value(), 100);
    QCOMPARE(child<QLabel>("timeRemain")->text(), QStringLiteral("00:00:00"));
    const QString elapsed = child<QLabel>("timeElapsed")->text();
    if (!answer) // one run: its elapsed time stays shown
        QVERIFY2(elapsed == durationText(quint32(seconds)) ||
                     elapsed == durationText(quint32(qMax<qint64>(0, seconds - 1))),
                 qPrintable(elapsed));
    QCOMPARE(window->width(), width);
    close(holder);
    QFETCH(bool, flashAsBefore);
    if (flashAsBefore)
        QVERIFY2(device->flash() == formerFlash(), "the flash is not as it was before");
    if (setting == "ERASE_US")
        QCOMPARE(device->flash().mid(0x40000, 70000), components[0].data);
}

// Starts an update as a user does, answers whether to put the flash back after a failure, and
// waits for the update's end; false when it does not come.
bool TestMainWindow::update(const QString &path, bool putBack)
{
    filename->setText(path);
    answers->answer["Update failed"] = putBack;
    updateButton->click();
    return QTest::qWaitFor([this] { return ended(); }, 30000) && updateButton->isEnabled();
}

// The verdict is shown at the end of every update, and no question is open.
bool TestMainWindow::ended() const
{
    return !shownVerdict().isEmpty() && !QApplication::activeModalWidget();
}

// A failed update is not forgotten: a later run that changes nothing, one of other pages, and a
// later start of the tool say that the flash holds no complete image, and where the copy is.
// The start offers to put the flash back, and that puts the whole flash back. The image's name,
// which clears a terminal's screen, is shown written out.
void TestMainWindow::failureRemembered()
{
    const QString path = device->makeImage(components, QStringLiteral("\x1b[2J.tarnru"));
    const QString shownPath = device->path(R"(\x1b[2J.tarnru)");
    device->set("ERASE_FAIL", "0x100000:1");
    makeWindow();
    QVERIFY(update(path, false));
    const QString copy = FlashCopies::list(StateFolder()).value(0).path;
    QCOMPARE(filename->text(), path);
    const QString since = "since the update that failed at component KERN (2 of 3, at 0x100000)";
    const QString back = " A copy of the flash as it was before is in " + copy + ".";

    QVERIFY(update(device->makeImage({{"ODD", 0, 0x10000, 0, "x"}}, "odd.tarnru"), false));
    QCOMPARE(shownVerdict(), "The flash was not changed by this update, and it still does not "
                             "hold a complete image " +
                                 since +
                                 ": do not restart the computer before an update has ended "
                                 "with \"Done\"." +
                                 back);
    // An image of other pages verifies, but the pages that the failed update left stay at risk.
    QVERIFY(update(device->makeImage({{"LOG", 0, 0x300000, 0, "y"}}, "log.tarnru"), false));
    QVERIFY(shownVerdict().startsWith("The component was written and verified. The flash still "
                                      "does not hold a complete image " +
                                      since));

    device->set("ERASE_FAIL", "");
    answers->answer["Unfinished update"] = true;
    makeWindow(); // as after a crash or a power loss
    QVERIFY(shownVerdict().startsWith("The last update (" + shownPath + ", started "));
    QVERIFY(shownVerdict().endsWith(" did not finish: the flash may not hold a complete image. "
                                    "Update again, or put back the pages that it left at risk "
                                    "as they were, before restarting the computer." +
                                    back));
    QVERIFY(
        QTest::qWaitFor([this] { return answers->seen.join('\n').contains("Unfinished"); }, 5000));
    QVERIFY(QTest::qWaitFor([this] { return ended(); }, 30000));
    QVERIFY(updateButton->isEnabled());
    QCOMPARE(shownVerdict(), QStringLiteral("All 3 components were written and verified."));
    QByteArray before = formerFlash(); // but for the page that LOG went to
    before.replace(0x300000, 0x20000, device->flash().mid(0x300000, 0x20000));
    QVERIFY2(device->flash() == before, "the flash is not as it was before");
    QVERIFY(FlashJournal::load(StateFolder()).isEmpty());
}

// After a damaged record nothing is offered by itself: the user puts back a copy they pick, and
// clears the record only once the flash holds a complete image. The image field stays theirs.
void TestMainWindow::damagedRecordWayOut()
{
    const QString path = device->makeImage(components);
    device->set("ERASE_FAIL", "0x100000:1");
    makeWindow();
    QVERIFY(update(path, false));
    device->set("ERASE_FAIL", "");
    const QString copy = FlashCopies::list(StateFolder()).value(0).path;
    QFile record(StateFolder().path() + "/unfinished-update.json");
    QVERIFY(record.open(QIODevice::WriteOnly) && record.write("{\"pages\": [{\"addr") > 0);
    record.close();

    makeWindow();
    QVERIFY(shownVerdict().startsWith("The record of an earlier update is damaged ("));
    auto *clear = window->findChild<QAction *>("clearDamagedAction");
    QVERIFY(clear->isEnabled());
    filename->setText("typed");
    answers->onModal = [&](const QString &title) {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget()))
            dialog->selectFile(title == "Put Back a Copy of the Flash" ? copy : QString());
    };
    answers->answer["Put Back a Copy of the Flash"] = true;
    window->findChild<QAction *>("putBackCopyAction")->trigger();
    QVERIFY(QTest::qWaitFor([this] { return ended(); }, 30000));
    QVERIFY(shownVerdict().contains("The record of an earlier update is damaged (kept as "));
    QVERIFY2(device->flash() == formerFlash(), "the flash is not as it was before");
    QCOMPARE(filename->text(), QStringLiteral("typed"));

    filename->setText(path); // the flash does not hold it: the record stays
    clear->trigger();
    QVERIFY(answers->seen.last().startsWith("Clear Damaged Record: The flash does not hold"));
    QVERIFY(update(path, false));
    answers->answer["Clear Damaged Record"] = true;
    clear->trigger();
    QVERIFY(answers->seen.last().contains(" stays in " + StateFolder().path()));
    QVERIFY(shownVerdict().startsWith("The damaged record was cleared and is kept as " +
                                      StateFolder().path() + "/cleared-record-"));
    QVERIFY(shownVerdict().endsWith("It is safe to restart the computer."));
    QVERIFY(!clear->isEnabled());
}

// Without a descriptor for the pipe that holds the signals, the update does not start.
void TestMainWindow::unguardedUpdateRefused()
{
    makeWindow();
    filename->setText(device->makeImage(components));
    rlimit usual;
    getrlimit(RLIMIT_NOFILE, &usual);
    rlimit few = usual;
    few.rlim_cur = std::min<rlim_t>(usual.rlim_cur, 1024);
    setrlimit(RLIMIT_NOFILE, &few);
    std::vector<int> taken;
    for (int fd; (fd = dup(STDERR_FILENO)) >= 0;)
        taken.push_back(fd);
    updateButton->click();
    for (const int fd : taken)
        close(fd);
    setrlimit(RLIMIT_NOFILE, &usual);
    auto *status = child<QLabel>("statusLabel");
    QCOMPARE(status->toolTip().isEmpty() ? status->text() : status->toolTip(),
             "The tool could not protect the update against signals: " + QString(strerror(EMFILE)) +
                 ".");
    // Without a descriptor the record could not be read either: nothing is said of it.
    QCOMPARE(shownVerdict(), "The flash was not changed by this update.");
    QVERIFY(updateButton->isEnabled());
    QVERIFY(device->trace("flash").isEmpty());
}

// The dialog never shows one file's name over another file's components.
void TestMainWindow::infoDialogFollowsTheName()
{
    makeWindow();
    auto *infoButton = child<QPushButton>("imageInfoButton");
    filename->setText(device->makeImage({{"A\nB", 0, 0, 0, "a"}}, "one.tarnru"));
    infoButton->click();
    auto *list = window->findChild<QListWidget *>("listWidget");
    QCOMPARE(list->count(), 1);
    // One line, whatever the name holds.
    QCOMPARE(list->itemWidget(list->item(0))->findChild<QLabel *>("nameLabel")->text(),
             QStringLiteral("A\\x0aB"));
    filename->setText(device->makeImage({{"A", 0, 0, 0, "a"}, {"B", 0, 0, 0, "b"}}, "two.tarnru"));
    infoButton->click();
    QCOMPARE(list->count(), 2);
    device->makeImage({{"A", 0, 0, 0, "a"}}, "two.tarnru");
    infoButton->click();
    QCOMPARE(list->count(), 2); // the same name: shown as it is until shown anew
}

void TestMainWindow::signatureShown_data()
{
    QTest::addColumn<QByteArray>("key"); // trusted, and signs the image
    QTest::addColumn<QByteArray>("signer");
    QTest::addColumn<QByteArray>("required"); // the policy file's setting, or no file
    QTest::addColumn<QString>("line");        // %1 the long key id of the signer
    QTest::addColumn<QString>("policy");      // %F the policy file
    const QString missing = "Signature policy: Required=auto, as %F does not exist. An update "
                            "needs a signature by a trusted key.";
    QTest::newRow("good") << QByteArray("vendor") << QByteArray("vendor") << QByteArray()
                          << "Signed by Vendor Test <vendor@example.invalid>, key \u2026%1"
                          << missing;
    QTest::newRow("none") << QByteArray("vendor") << QByteArray() << QByteArray() << "Not signed"
                          << missing;
    QTest::newRow("none, Required=no")
        << QByteArray("vendor") << QByteArray() << QByteArray("no") << "Not signed"
        << "Signature policy: Required=no, from %F. An update "
           "needs no signature.";
    QTest::newRow("none, a value of another spelling")
        << QByteArray("vendor") << QByteArray() << QByteArray("No") << "Not signed"
        << "%F line 2: Required=No is not auto, yes or no; signatures are required.\n"
           "Signature policy: Required=yes, as %F cannot be used as it is. An update needs a "
           "signature by a trusted key.";
    QTest::newRow("bad") << QByteArray("vendor") << QByteArray("changed") << QByteArray()
                         << "The signature does not match this image" << missing;
    QTest::newRow("untrusted") << QByteArray("vendor") << QByteArray("stranger") << QByteArray()
                               << "Signed by a key that is not trusted (\u2026%1)" << missing;
    QTest::newRow("expired") << QByteArray("old") << QByteArray("old") << QByteArray()
                             << "The signing key has expired" << missing;
}

// The dialog shows where the image comes from, its SHA-256 and the policy in force, where the
// user decides.
void TestMainWindow::signatureShown()
{
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, signer);
    QFETCH(QByteArray, required);
    QFETCH(QString, line);
    QFETCH(QString, policy);
    const QString path = device->makeImage(components);
    keys->trust(key);
    if (!required.isEmpty())
        keys->setRequired(required);
    if (!signer.isEmpty())
        keys->sign(signer, path);
    makeWindow();
    filename->setText(path);
    child<QPushButton>("imageInfoButton")->click();
    auto *shown = window->findChild<QLabel *>("signatureLabel");
    if (line.contains("%1"))
        line.replace("%1", keys->keyId(signer));
    QCOMPARE(shown->text(), line);
    QCOMPARE(shown->styleSheet().contains("color"), signer == "vendor"); // green when good
    QCOMPARE(window->findChild<QLabel *>("sha256Label")->text(), "SHA-256: " + sha256(path));
    QCOMPARE(window->findChild<QLabel *>("policyLabel")->text(),
             policy.replace("%F", TrustPolicy::configFile()));
}

void TestMainWindow::screenReaderHears_data()
{
    QTest::addColumn<QByteArray>("fault");
    QTest::addColumn<QString>("verdict"); // its start
    QTest::newRow("done") << QByteArray() << "All 3 components were written and verified.";
    QTest::newRow("failed") << QByteArray("0x100000:1") << failed.arg("KERN (2 of 3, at 0x100000)");
}

// An update started with Return on "Update", as a screen reader hears it: every control of the
// window and of the confirmation named, each component row in one text, the signature, the
// SHA-256 and the trust policy within reach of the keyboard, the progress now and then, each stage
// of the status line once, and the verdict as a notification that appears.
void TestMainWindow::screenReaderHears()
{
    QFETCH(QByteArray, fault);
    QFETCH(QString, verdict);
    device->set("ERASE_US", "60000");
    device->set("ERASE_FAIL", fault);
    makeWindow();
    const QStringList nameless = unnamed(QAccessible::queryAccessibleInterface(window));
    QVERIFY2(nameless.isEmpty(), qPrintable(nameless.join(", ")));
    QStringList confirmation; // what was unnamed, the description, and the first row
    answers->onModal = [&](const QString &title) {
        auto *dialog = QApplication::activeModalWidget();
        if (title != QLatin1String("Image info"))
            return;
        QAccessibleInterface *interface = QAccessible::queryAccessibleInterface(dialog);
        confirmation = unnamed(interface);
        confirmation << interface->text(QAccessible::Description);
        QAccessibleInterface *list =
            QAccessible::queryAccessibleInterface(dialog->findChild<QListWidget *>("listWidget"));
        confirmation << QString::number(list->childCount())
                     << list->child(0)->text(QAccessible::Name);
        for (const char *name : {"signatureLabel", "sha256Label", "policyLabel"})
            confirmation << QString::number(dialog->findChild<QLabel *>(name)->focusPolicy());
    };
    filename->setText(device->makeImage(components));
    updateButton->setFocus();
    QTest::keyClick(updateButton, Qt::Key_Return);
    QVERIFY(QTest::qWaitFor([this] { return ended(); }, 30000));
    QCOMPARE(confirmation,
             QStringList({"OK updates the flash with these components.", "3",
                          "BOOT, version 0.0.00, at 0x40000, " + QLocale().toString(70032) +
                              " bytes, for hardware 0 and later",
                          QString::number(Qt::StrongFocus), QString::number(Qt::StrongFocus),
                          QString::number(Qt::StrongFocus)}));

    auto *verdictLabel = child<QLabel>("verdictLabel");
    QAccessibleInterface *notification = QAccessible::queryAccessibleInterface(verdictLabel);
    QVERIFY(verdictLabel->isVisible());
    QCOMPARE(notification->role(), QAccessible::Notification);
    QVERIFY2(notification->text(QAccessible::Name).startsWith(verdict), qPrintable(shownVerdict()));
}

// A screen reader hears an update's progress at most twice a second, its last value included,
// and each stage of the status line once, however fast the worker reports.
void TestMainWindow::accessiblePace()
{
    told.clear();
    QAccessible::installUpdateHandler(tell);
    QProgressBar bar;
    QLabel status;
    AccessiblePacer pacer;
    pacer.paceValue(&bar);
    pacer.paceStage(&status);
    const QAccessible::UpdateHandler paced = QAccessible::installUpdateHandler(nullptr);
    QAccessible::installUpdateHandler(paced);
    const QStringList texts{"Erasing page at 0x40000",
                            "Erasing page at 0x50000",
                            "Writing to Flash memory at 0x40000",
                            "Writing to Flash memory at 0x40400",
                            "Verifying Flash memory content.",
                            "Error verifying Flash memory at 0x40000"};
    QElapsedTimer clock;
    clock.start();
    for (int value = 0; value <= 100; ++value) {
        bar.setValue(value);
        QAccessibleValueChangeEvent change(&bar, value);
        paced(&change);
        status.setText(texts.at(value * (texts.size() - 1) / 100));
        QAccessibleEvent renamed(&status, QAccessible::NameChanged);
        paced(&renamed);
        QTest::qWait(10);
    }
    const qint64 ms = clock.elapsed();
    QVERIFY(QTest::qWaitFor([&] { return told.last().value == 100; }, 2000));
    QAccessible::installUpdateHandler(nullptr);
    QStringList values;
    QStringList stages;
    for (const Told &event : qAsConst(told)) {
        if (event.object == &bar)
            values << QString::number(event.value);
        else
            stages << event.name;
    }
    QVERIFY2(values.size() >= 2 && values.size() <= ms / 500 + 2, qPrintable(values.join(' ')));
    QCOMPARE(stages, QStringList({"Erasing page at 0x40000", "Writing to Flash memory at 0x40000",
                                  "Verifying Flash memory content.",
                                  "Error verifying Flash memory at 0x40000"}));
}

void TestMainWindow::legibleOnEveryPalette_data()
{
    QTest::addColumn<QPalette>("palette");
    QTest::newRow("light") << QApplication::style()->standardPalette();
    QTest::newRow("dark") << QPalette(QColor(0x35, 0x35, 0x35), QColor(0x2a, 0x2a, 0x2a));
}

// What a user reads stays legible when the desktop switches to a light or a dark palette: the
// disabled version fields, the alarming verdict's red and the logo's ink; and the window fits a
// 1366x768 screen.
void TestMainWindow::legibleOnEveryPalette()
{
    QFETCH(QPalette, palette);
    const QFont usualFont = QApplication::font();
    QApplication::setFont(QFont("Sans Serif", 9)); // as Qt's default on an X desktop
    makeWindow();
    QApplication::setFont(usualFont);
    // With a title bar and a panel of 30 pixels each, nothing to scroll.
    const int height = child<QWidget>("centralWidget")->minimumSizeHint().height() +
                       window->statusBar()->sizeHint().height();
    QVERIFY2(height + 60 <= 768, qPrintable(QString::number(height)));
    auto *verdict = child<QLabel>("verdictLabel");
    device->set("ERASE_FAIL", "0x40000:1");
    QVERIFY(update(device->makeImage(components), false));
    const QPalette usual = QApplication::palette();
    QApplication::setPalette(palette);
    QTest::qWait(10);
    const QString sheet = verdict->styleSheet();
    const QPalette fields = child<QLineEdit>("curVerSWLineEdit")->palette();
    const QImage logo = child<QLabel>("label")->grab().toImage();
    QApplication::setPalette(usual);
    QVERIFY(contrastRatio(fields.color(QPalette::Disabled, QPalette::Text),
                          fields.color(QPalette::Disabled, QPalette::Base)) >= 4.5);
    const QColor red(QRegularExpression("color: (#[0-9a-f]{6})").match(sheet).captured(1));
    QVERIFY2(red.red() > red.green() + 50, qPrintable(sheet));
    QVERIFY(contrastRatio(red, palette.color(QPalette::Window)) >= 4.5);
    // Outside the orange accent and the edges' blend, the ink stands out from the window.
    int ink = 0;
    int faint = 0;
    for (int y = 0; y < logo.height(); ++y) {
        for (int x = 0; x < logo.width(); ++x) {
            const QColor pixel = logo.pixelColor(x, y);
            if (pixel == palette.color(QPalette::Window) || pixel.red() > pixel.blue())
                continue;
            ++ink;
            faint += contrastRatio(pixel, palette.color(QPalette::Window)) < 3;
        }
    }
    QVERIFY2(ink > 1000 && faint < ink / 10,
             qPrintable(QStringLiteral("%1 of %2").arg(faint).arg(ink)));
}

QTEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
