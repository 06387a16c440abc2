#pragma once

#include "ComponentRecord.h"
#include "UpdaterThread.h"

#include <QList>
#include <QMainWindow>

class ImageInfoDialog;
class InterruptGuard;
class QElapsedTimer;
class QLabel;
class ShutdownInhibitor;
class UpdateVerdict;

namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

public slots:
    void updateFinished();
    void updateCurrentProgress(int progress);
    void updateTotalProgress(int progress);
    void updateStatusText(QString text);

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void FileDialogButton_released();
    void startUpdateButton_released();
    void on_imageInfoButton_clicked();

private:
    void updateTimeLabels();
    void startUpdate(const QString &filename, const QList<ComponentRecord> &components,
                     const QByteArray &sha256, UpdaterThread::CopyMode copyMode);
    void showVerdict(const QString &text, bool alarming);
    void fitVerdict();
    void offerNextStep();

    Ui::MainWindow *ui;
    QElapsedTimer *elapsedTimer;
    ImageInfoDialog *imageInfoDialog;
    QLabel *verdictIcon;
    QLabel *verdictLabel;
    UpdateVerdict *verdict;
    // An update must not be cut short: shutdown, sleep, the quit signals and the loss of the
    // display wait for its end.
    ShutdownInhibitor *shutdownInhibitor;
    InterruptGuard *interruptGuard;
    bool quitAfterUpdate = false;
    // What the running or last update programs: a question after it may start it again.
    QString updateFilename;
    QList<ComponentRecord> updateComponents;
    QByteArray updateSha256;
    int letterWidths[128]; // of the ASCII letters in the status label's font
};
