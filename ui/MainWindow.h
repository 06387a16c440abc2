#pragma once

#include "UpdateSession.h"

#include <QMainWindow>
#include <QMessageBox>

class DesktopNotifier;
class ImageInfoDialog;
class QAction;
class QElapsedTimer;
class QLabel;
class VerdictLabel;

namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    // Fills in the image to update with, as a file manager names it; nothing is started.
    void setImage(const QString &path);
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
    void putBackCopy();
    void clearDamagedRecord();

private:
    void updateTimeLabels();
    void confirmAndUpdate(const QString &filename);
    void startUpdate(const UpdateSession::Plan &plan);
    void showVerdict(const QString &text, bool alarming);
    void fitVerdict();
    QSize availableSize() const;
    void offerNextStep(const QString &title, QMessageBox::StandardButton defaultButton);

    Ui::MainWindow *ui;
    QElapsedTimer *elapsedTimer;
    ImageInfoDialog *imageInfoDialog;
    QLabel *verdictIcon;
    VerdictLabel *verdictLabel;
    QAction *clearDamagedAction;
    // What is decided around an update: the record, the held signals, the questions after it.
    UpdateSession *session;
    DesktopNotifier *desktop;
    bool quitAfterUpdate = false;
    int letterWidths[128]; // of the ASCII letters in the status label's font
};
