#pragma once

#include "ComponentRecord.h"

#include <QByteArray>
#include <QDialog>
#include <QList>

namespace Ui {
class ImageInfoDialog;
}

// Lists the components of an update image, whether it is signed and by whom, and its SHA-256. The
// image is read again every time the dialog is shown, so it always shows the file as it is now, and
// when another file is named while it is visible, so that it never shows one file's name over
// another file's components.
class ImageInfoDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ImageInfoDialog(QWidget *parent = nullptr);
    ~ImageInfoDialog() override;

    void setFilename(const QString &filename);
    // The components listed now: what the user confirms with OK.
    QList<ComponentRecord> components() const { return listed; }
    // The SHA-256 of the image listed now, in hexadecimal: the bytes the user confirms.
    QByteArray sha256() const { return listedSha256; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void listComponents();

    Ui::ImageInfoDialog *ui;
    QString filename;
    QList<ComponentRecord> listed;
    QByteArray listedSha256;
};
