#include "ImageItem.h"
#include "ui_ImageItem.h"

ImageItem::ImageItem(QWidget *parent) : QWidget(parent), ui(new Ui::ImageItem)
{
    ui->setupUi(this);
}

ImageItem::~ImageItem()
{
    delete ui;
}

void ImageItem::setFields(const QString &name, const QString &version, const QString &minHW,
                          const QString &address, const QString &size)
{
    ui->nameLabel->setText(name);
    ui->versionLineEdit->setText(version);
    ui->minHWlineEdit->setText(minHW);
    ui->addresLineEdit->setText(address);
    ui->sizeLineEdit->setText(size);
}
