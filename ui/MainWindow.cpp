#include "MainWindow.h"
#include "ui_MainWindow.h"

#include "AccessiblePacer.h"
#include "DesktopNotifier.h"
#include "DisplayLossGuard.h"
#include "FlashQuestion.h"
#include "FlashVerifier.h"
#include "ImageInfoDialog.h"
#include "InstalledVersions.h"
#include "Legibility.h"
#include "NodePermission.h"
#include "StartupOptions.h"
#include "StateFolder.h"
#include "TimeDisplay.h"
#include "UpdateVerdict.h"
#include "UpdaterThread.h"
#include "VerdictLabel.h"
#include "VisibleText.h"
#include "VorlanDriver.h"

#include <QAction>
#include <QCloseEvent>
#include <QDebug>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QStyle>
#include <QThread>
#include <QTimer>

namespace {

const QString appVersion = QStringLiteral("1.1");

QStringList dotSeparatedPieces(const QString &name)
{
#if QT_VERSION >= QT_VERSION_CHECK(5, 14, 0)
    return name.split(QLatin1Char('.'), Qt::SkipEmptyParts);
#else
    return name.split(QLatin1Char('.'), QString::SkipEmptyParts);
#endif
}

// The wordmark, sharp on a screen scaled to 2x, its dark ink made light on a dark palette, where
// it would almost vanish; the orange accent stays.
QPixmap wordmark(const QPalette &palette, qreal ratio)
{
    const bool twice = ratio > 1;
    QImage image = QImage(twice ? QStringLiteral(":/images/images/TARN@2x.png")
                                : QStringLiteral(":/images/images/TARN.png"))
                       .convertToFormat(QImage::Format_ARGB32);
    image.setDevicePixelRatio(twice ? 2 : 1);
    const QColor ink(22, 58, 96);
    const QColor text = palette.color(QPalette::WindowText);
    if (contrastRatio(ink, palette.color(QPalette::Window)) < 3) {
        for (int y = 0; y < image.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if (qBlue(line[x]) > qRed(line[x]))
                    line[x] = qRgba(text.red(), text.green(), text.blue(), qAlpha(line[x]));
            }
        }
    }
    return QPixmap::fromImage(image);
}

} // namespace

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    ui->label_2->setText(
        tr("<html><head/><body><p>VORLAN Update Utility</p><p>Version %1</p><p><br/></p>"
           "<p>KELDRA</p></body></html>")
            .arg(appVersion));
    elapsedTimer = new QElapsedTimer;
    ui->label->setPixmap(wordmark(palette(), qApp->devicePixelRatio()));
    // The desktop may switch between a light and a dark palette while the tool runs.
    connect(qApp, &QGuiApplication::paletteChanged, this, [this] {
        QTimer::singleShot(0, this, [this] {
            ui->label->setPixmap(wordmark(palette(), qApp->devicePixelRatio()));
        });
    });

    auto *verdictBox = new QWidget(this);
    auto *verdictLayout = new QHBoxLayout(verdictBox);
    verdictLayout->setContentsMargins(0, 0, 0, 0);
    verdictIcon = new QLabel(verdictBox);
    verdictIcon->setAlignment(Qt::AlignTop);
    verdictIcon->hide();
    verdictLabel = new VerdictLabel(verdictBox);
    verdictLabel->setObjectName(QStringLiteral("verdictLabel"));
    verdictLayout->addWidget(verdictIcon);
    verdictLayout->addWidget(verdictLabel, 1);
    statusBar()->addWidget(verdictBox, 1);

    // On a screen lower than the form (a large font on a small laptop) the form scrolls, and the
    // status bar with the verdict stays in sight.
    const QSize whole = size().expandedTo(minimumSizeHint());
    auto *scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus); // the form's fields keep the Tab chain to themselves
    scroll->setWidgetResizable(true);
    scroll->setWidget(takeCentralWidget());
    setCentralWidget(scroll);
    QSize fitted = whole.boundedTo(availableSize());
    if (fitted.height() < whole.height())
        fitted.rwidth() += style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    resize(fitted);

    // An update that began erasing and never ended in "Done" (the tool was killed, crashed or
    // lost its power), or one that runs now: that comes first, before anything else is done.
    session = new UpdateSession(this);
    if (!session->notice().isEmpty())
        showVerdict(session->notice(), true);

    // The ways back that the user chooses: a copy of their own choice, and, after a damaged
    // record, clearing it once the flash holds a complete image.
    QMenu *flashMenu = menuBar()->addMenu(tr("&Flash"));
    flashMenu->addAction(tr("&Put Back a Copy..."), this, &MainWindow::putBackCopy)
        ->setObjectName(QStringLiteral("putBackCopyAction"));
    clearDamagedAction =
        flashMenu->addAction(tr("&Clear Damaged Record..."), this, &MainWindow::clearDamagedRecord);
    clearDamagedAction->setObjectName(QStringLiteral("clearDamagedAction"));
    clearDamagedAction->setEnabled(session->recordDamaged());

    QString hwTimestamp;
    QString swVersion;
    QString pidVersion;
    if (readInstalledVersions(&hwTimestamp, &swVersion, &pidVersion) < 0) {
        QMessageBox::critical(
            nullptr, tr("Cannot open file"),
            tr("System file %1 could not be opened.\n\n%2\nApplication will "
               "now quit.\n")
                .arg(QLatin1String(mailboxNodePath), nodeOpenAdvice(mailboxNodePath)),
            QMessageBox::Ok, QMessageBox::NoButton);
        if (!openWithoutDriver)
            QTimer::singleShot(0, this, SLOT(close()));
    }
    for (QLineEdit *field : {ui->curVerTSLineEdit, ui->curVerSWLineEdit, ui->curPIDverLineEdit})
        keepLegibleWhileDisabled(field);
    ui->curVerTSLineEdit->setText(hwTimestamp);
    ui->curVerSWLineEdit->setText(swVersion);
    ui->curPIDverLineEdit->setText(pidVersion);

    connect(ui->fileDialogButton, SIGNAL(released()), this, SLOT(FileDialogButton_released()));
    connect(ui->startUpdateButton, SIGNAL(released()), this, SLOT(startUpdateButton_released()));

    imageInfoDialog = new ImageInfoDialog(this);

    // Closing by keyboard, refused as closing is while an update runs.
    auto *quit = new QAction(this);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quit, &QAction::triggered, this, &QWidget::close);
    addAction(quit);

    auto *pacer = new AccessiblePacer(this);
    pacer->paceValue(ui->currentProgressBar);
    pacer->paceValue(ui->totalProgressBar);
    pacer->paceStage(ui->statusLabel);
    desktop = new DesktopNotifier(this);

    for (int letter = 0; letter < 128; ++letter)
        letterWidths[letter] = ui->statusLabel->fontMetrics().horizontalAdvance(QChar(letter));

    const UpdateVerdict *verdict = session->verdict();
    new DisplayLossGuard([verdict] { return verdict->waitForEnd() ? verdict->exitStatus() : -1; },
                         this);
    connect(session, &UpdateSession::interrupted, this, [this] {
        statusBar()->showMessage(tr("The tool will quit when the update has finished."));
    });
    // The way back, offered once the window is up.
    if (session->nextStep() == UpdateSession::NextStep::PutBack)
        QTimer::singleShot(0, this, [this] {
            if (isVisible())
                offerNextStep(tr("Unfinished update"), QMessageBox::No);
        });
}

MainWindow::~MainWindow()
{
    delete ui;
    delete elapsedTimer;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Stopping now would leave pages erased or half written, and the device might not boot.
    if (!ui->startUpdateButton->isEnabled()) {
        event->ignore();
        QMessageBox::warning(this, tr("Update in progress"),
                             tr("The flash memory is being updated. Closing the tool "
                                "now could leave the VORLAN system unable to "
                                "start.\n\nPlease wait until the update has finished."));
        return;
    }
    QMainWindow::closeEvent(event);
}

void MainWindow::FileDialogButton_released()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Open VORLAN Update Image file"),
                                                      QString(), tr("VORLAN RU Image (*.tarnru)"));
    if (!path.isEmpty())
        ui->filenameLineEdit->setText(path);
}

void MainWindow::on_imageInfoButton_clicked()
{
    imageInfoDialog->setAccessibleDescription(tr("The components of the update image."));
    imageInfoDialog->setFilename(ui->filenameLineEdit->text());
    imageInfoDialog->show();
}

void MainWindow::startUpdateButton_released()
{
    const QString filename = ui->filenameLineEdit->text();
    const QStringList pieces = dotSeparatedPieces(filename);
    const QString extension = pieces.isEmpty() ? QString() : pieces.last();
    if (extension != QLatin1String("tarnru")) {
        QMessageBox::warning(this, tr("Invalid filename"),
                             tr("The filename is not valid.\n\nExpecting file extension: "
                                ".tarnru, instead got: .%1")
                                 .arg(extension));
        return;
    }

    confirmAndUpdate(filename);
}

// The image field stays as the user typed it, whichever image is written.
void MainWindow::confirmAndUpdate(const QString &filename)
{
    // A dialog still open from "Get Image Info" would neither reread the image nor become
    // modal: the confirmation must list the image that is about to be written.
    imageInfoDialog->hide();
    imageInfoDialog->setFilename(filename);
    imageInfoDialog->setAccessibleDescription(tr("OK updates the flash with these components."));
    if (imageInfoDialog->exec() == 0)
        return;

    // The bytes the user confirmed, not whatever is under the name by now.
    startUpdate({filename, imageInfoDialog->components(), UpdaterThread::CopyMode::Save,
                 imageInfoDialog->sha256()});
}

void MainWindow::startUpdate(const UpdateSession::Plan &plan)
{
    ui->startUpdateButton->setEnabled(false);
    auto *thread = new QThread;
    auto *worker = new UpdaterThread;
    worker->setFilename(plan.image);
    QString refusal;
    if (!session->prepare(worker, plan, &refusal)) {
        delete worker;
        delete thread;
        ui->startUpdateButton->setEnabled(true);
        updateStatusText(refusal);
        showVerdict(session->verdict()->text(), session->verdict()->alarming());
        return;
    }
    verdictIcon->hide();
    verdictLabel->withdraw();
    worker->moveToThread(thread);
    connect(thread, SIGNAL(started()), worker, SLOT(process()));
    connect(worker, SIGNAL(finished()), thread, SLOT(quit()));
    connect(worker, SIGNAL(finished()), worker, SLOT(deleteLater()));
    connect(thread, SIGNAL(finished()), thread, SLOT(deleteLater()));
    connect(worker, SIGNAL(finished()), this, SLOT(updateFinished()));
    connect(worker, SIGNAL(updateCurrentProgress(int)), this, SLOT(updateCurrentProgress(int)));
    connect(worker, SIGNAL(updateTotalProgress(int)), this, SLOT(updateTotalProgress(int)));
    connect(worker, SIGNAL(updateStatusText(QString)), this, SLOT(updateStatusText(QString)));
    // A held signal ends the tool once the worker's thread has stopped, whatever dialog is open.
    connect(thread, &QThread::finished, this, [this] {
        if (quitAfterUpdate)
            QCoreApplication::exit(session->verdict()->exitStatus());
    });
    elapsedTimer->start();
    session->start(thread);
}

void MainWindow::putBackCopy()
{
    const QString copy = QFileDialog::getOpenFileName(
        this, tr("Put Back a Copy of the Flash"),
        StateFolder::location() + QStringLiteral("/copies"), tr("VORLAN RU Image (*.tarnru)"));
    if (!copy.isEmpty() && ui->startUpdateButton->isEnabled())
        confirmAndUpdate(copy);
}

// The flash is compared with the image named in the file field first.
void MainWindow::clearDamagedRecord()
{
    const QString title = tr("Clear Damaged Record");
    const QString image = ui->filenameLineEdit->text();
    if (image.isEmpty()) {
        QMessageBox::information(this, title,
                                 tr("Name a complete image of the flash in the image file field "
                                    "first: the flash is compared with it before the damaged "
                                    "record is cleared."));
        return;
    }
    FlashVerifier verifier;
    verifier.verify(image);
    QString text;
    if (!session->clearingQuestion(verifier, image, &text)) {
        QMessageBox::warning(this, title,
                             visibleText(verifier.problem().isEmpty()
                                             ? text
                                             : verifier.problem() + QLatin1Char(' ') + text));
        return;
    }
    if (!FlashQuestion::ask(this, title, visibleText(text), QMessageBox::No))
        return;
    const bool cleared = session->clearDamaged(&text);
    showVerdict(text, !cleared || session->pagesAtRisk());
    clearDamagedAction->setEnabled(session->recordDamaged());
}

void MainWindow::updateCurrentProgress(int progress)
{
    ui->currentProgressBar->setValue(progress);
}

void MainWindow::updateTotalProgress(int progress)
{
    ui->totalProgressBar->setValue(progress);
    desktop->showProgress(progress);
    updateTimeLabels();
}

void MainWindow::updateStatusText(QString text)
{
    text = visibleText(text);
    const QFontMetrics metrics = ui->statusLabel->fontMetrics();
    const int width = ui->statusLabel->contentsRect().width();
    // The texts come block by block: an ASCII text is first summed up from its letters' widths
    // and measured only when that sum is too wide, and the tooltip is touched only when it
    // changes.
    int sum = 0;
    for (const QChar letter : text)
        sum += letter < 128 ? letterWidths[letter.unicode()] : width + 1;
    const bool fits = sum <= width || metrics.horizontalAdvance(text) <= width;
    ui->statusLabel->setText(fits ? text : metrics.elidedText(text, Qt::ElideMiddle, width));
    const QString toolTip = fits ? QString() : text;
    if (ui->statusLabel->toolTip() != toolTip)
        ui->statusLabel->setToolTip(toolTip);
}

void MainWindow::updateTimeLabels()
{
    const qint64 elapsedSeconds = elapsedTimer->elapsed() / 1000;
    ui->timeElapsed->setText(durationText(quint32(elapsedSeconds)));
    ui->timeRemain->setText(
        remainingTimeText(elapsedSeconds, elapsedTimer->elapsed(), ui->totalProgressBar->value()));
}

void MainWindow::updateFinished()
{
    ui->startUpdateButton->setEnabled(true);
    ui->currentProgressBar->setValue(100);
    ui->totalProgressBar->setValue(100);
    ui->timeRemain->setText(durationText(0));
    qDebug() << "void MainWindow::updateFinished()";

    quitAfterUpdate = session->end();
    clearDamagedAction->setEnabled(session->recordDamaged());
    showVerdict(session->verdict()->text(), session->verdict()->alarming());
    desktop->showEnd(verdictLabel->text(), session->verdict()->alarming());
    if (!quitAfterUpdate)
        offerNextStep(tr("Update failed"), QMessageBox::Yes);
}

// What only the user can decide: to go on without a copy of the flash when none could be saved,
// and to put the flash back as it was after an update that did not finish.
void MainWindow::offerNextStep(const QString &title, QMessageBox::StandardButton defaultButton)
{
    switch (session->nextStep()) {
    case UpdateSession::NextStep::UpdateWithoutCopy:
        if (FlashQuestion::ask(this, tr("No copy of the flash"), visibleText(session->question()),
                               QMessageBox::No))
            startUpdate(session->withoutCopy());
        return;
    case UpdateSession::NextStep::PutBack: {
        if (!FlashQuestion::ask(this, title, visibleText(session->question()), defaultButton))
            return;
        UpdateSession::Plan plan;
        QString refusal;
        if (session->putBack(&plan, &refusal))
            startUpdate(plan);
        else
            showVerdict(refusal, true);
        return;
    }
    case UpdateSession::NextStep::Nothing:
        return;
    }
}

void MainWindow::showVerdict(const QString &text, bool alarming)
{
    const QStyle::StandardPixmap icon =
        alarming ? QStyle::SP_MessageBoxCritical : QStyle::SP_MessageBoxInformation;
    const int size = style()->pixelMetric(QStyle::PM_SmallIconSize);
    verdictIcon->setPixmap(style()->standardIcon(icon).pixmap(size, size));
    verdictIcon->setAccessibleName(alarming ? tr("Warning") : tr("Information"));
    verdictIcon->show();
    verdictLabel->announce(visibleText(text), alarming);
    // Measured once the status bar has its width: a window that is still being built would
    // take the label's first, narrow width and grow far too tall.
    QTimer::singleShot(0, this, &MainWindow::fitVerdict);
}

// The form already needs the window's whole height: the window grows by the lines the verdict
// takes rather than scroll the form, as far as the screen allows.
void MainWindow::fitVerdict()
{
    const int extra = verdictLabel->heightForWidth(verdictLabel->width()) - verdictLabel->height();
    const int slack = centralWidget()->height() - ui->centralWidget->minimumSizeHint().height();
    if (extra > slack)
        resize(width(), std::min(height() + extra - slack, availableSize().height()));
}

QSize MainWindow::availableSize() const
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry().size() : QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

void MainWindow::setImage(const QString &path)
{
    ui->filenameLineEdit->setText(path);
}
