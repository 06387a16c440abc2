#pragma once

#include <QMainWindow>

class ImageInfoDialog;
class QElapsedTimer;

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

    Ui::MainWindow *ui;
    QElapsedTimer *elapsedTimer;
    ImageInfoDialog *imageInfoDialog;
};
