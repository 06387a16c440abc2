#include "ImageItem.h"
#include "ui_ImageItem.h"

#include "Legibility.h"

ImageItem::ImageItem(QWidget *parent) : QWidget(parent), ui(new Ui::ImageItem)
{
    ui->setupUi(this);
    for (QLineEdit *field :
         {ui->versionLineEdit, ui->minHWlineEdit, ui->addresLineEdit, ui->sizeLineEdit})
        keepLegibleWhileDisabled(field);
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
