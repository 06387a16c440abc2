#pragma once

#include <QDialog>

namespace Ui {
class ImageInfoDialog;
}

// Lists the components of an update image. The image is read again every time the dialog is
// shown, so it always shows the file as it is now.
class ImageInfoDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ImageInfoDialog(QWidget *parent = nullptr);
    ~ImageInfoDialog() override;

    void setFilename(const QString &filename);

protected:
    void showEvent(QShowEvent *event) override;

private:
    Ui::ImageInfoDialog *ui;
    QString filename;
};
