#include "ImageInfoDialog.h"
#include "ui_ImageInfoDialog.h"

#include "ImageItem.h"
#include "ImageReader.h"
#include "VisibleText.h"

#include <QDebug>

ImageInfoDialog::ImageInfoDialog(QWidget *parent) : QDialog(parent), ui(new Ui::ImageInfoDialog)
{
    ui->setupUi(this);
}

ImageInfoDialog::~ImageInfoDialog()
{
    delete ui;
}

void ImageInfoDialog::setFilename(const QString &filename)
{
    const bool another = filename != this->filename;
    this->filename = filename;
    ui->filenameLineEdit->setText(filename);
    if (another && isVisible())
        listComponents();
}

void ImageInfoDialog::showEvent(QShowEvent *)
{
    qDebug() << "virtual void ImageInfoDialog::showEvent(QShowEvent*)";
    listComponents();
}

void ImageInfoDialog::listComponents()
{
    ui->listWidget->clear();

    listed.clear();
    readImageComponents(filename, listed);
    for (const ComponentRecord &record : qAsConst(listed)) {
        auto *row = new QListWidgetItem(nullptr, QListWidgetItem::Type);
        row->setSizeHint(QSize(465, 128));
        ui->listWidget->insertItem(ui->listWidget->count(), row);
        auto *item = new ImageItem;
        item->setFields(visibleText(componentName(record)), componentVersionText(record.version),
                        QString::number(record.minHW),
                        QStringLiteral("0x") + QString::number(record.flashAddress, 16),
                        QString::number(record.size));
        ui->listWidget->setItemWidget(row, item);
    }
}
