#include "ImageInfoDialog.h"
#include "ui_ImageInfoDialog.h"

#include "ImageDigest.h"
#include "ImageItem.h"
#include "ImageReader.h"
#include "Legibility.h"
#include "SettledInput.h"
#include "TrustPolicy.h"
#include "VisibleText.h"

#include <QDebug>
#include <QFile>
#include <QLocale>
#include <QPushButton>

ImageInfoDialog::ImageInfoDialog(QWidget *parent) : QDialog(parent), ui(new Ui::ImageInfoDialog)
{
    ui->setupUi(this);
    ui->buttonBox->button(QDialogButtonBox::Ok)->setText(tr("&OK"));
    ui->buttonBox->button(QDialogButtonBox::Cancel)->setText(tr("&Cancel"));
    keepLegibleWhileDisabled(ui->filenameLineEdit);
    // Its OK starts an update: a key or click meant for the window before it must not.
    new SettledInput(this);
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
    listedSha256.clear();
    ui->signatureLabel->clear();
    ui->sha256Label->clear();
    ui->policyLabel->clear();
    // The list, the signature and the hash come from one descriptor of the file.
    QFile image;
    QString problem;
    if (!openImageFile(image, filename, &problem)) {
        qDebug() << "Failed opening file: " << filename;
        return;
    }
    readImageComponents(image, listed, &problem);
    ImageDigest digest(filename, listed);
    digest.read(image);
    listedSha256 = digest.sha256();
    const SignatureResult &signature = digest.signature();
    ui->signatureLabel->setText(signature.line());
    const QColor green = legibleColour(QColor(0, 0x64, 0), palette().color(QPalette::Window));
    ui->signatureLabel->setStyleSheet(
        signature.status == SignatureResult::Good
            ? QStringLiteral("QLabel { color: %1; }").arg(green.name())
            : QString());
    if (!listedSha256.isEmpty())
        ui->sha256Label->setText(tr("SHA-256: %1").arg(QString::fromLatin1(listedSha256)));
    // The policy in force and where it comes from, after what keeps it from being as written.
    const TrustPolicy &policy = digest.trustPolicy();
    ui->policyLabel->setText(
        (policy.warnings() + policy.refusedKeyrings() + QStringList(policy.description()))
            .join(QLatin1Char('\n')));
    for (const ComponentRecord &record : qAsConst(listed)) {
        const QString name = visibleText(componentName(record));
        const QString version = componentVersionText(record.version);
        const QString address = QStringLiteral("0x") + QString::number(record.flashAddress, 16);
        const QString size = QLocale().toString(record.size);
        auto *row = new QListWidgetItem(nullptr, QListWidgetItem::Type);
        // The row's widget never reaches a screen reader: the row itself says what it shows.
        row->setData(Qt::AccessibleTextRole,
                     tr("%1, version %2, at %3, %4 bytes, for hardware %5 and later")
                         .arg(name, version, address, size, QString::number(record.minHW)));
        ui->listWidget->insertItem(ui->listWidget->count(), row);
        auto *item = new ImageItem;
        item->setFields(name, version, QString::number(record.minHW), address, size);
        row->setSizeHint(item->sizeHint().expandedTo(QSize(465, 128)));
        ui->listWidget->setItemWidget(row, item);
    }
    ui->listWidget->setCurrentRow(0);
}
