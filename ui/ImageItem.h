#pragma once

#include <QWidget>

namespace Ui {
class ImageItem;
}

// One row of the image info dialog: a component's name, version, min HW, address and size.
class ImageItem : public QWidget
{
    Q_OBJECT

public:
    explicit ImageItem(QWidget *parent = nullptr);
    ~ImageItem() override;

    void setFields(const QString &name, const QString &version, const QString &minHW,
                   const QString &address, const QString &size);

private:
    Ui::ImageItem *ui;
};
