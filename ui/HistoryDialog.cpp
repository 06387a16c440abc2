#include "HistoryDialog.h"
#include "ui_HistoryDialog.h"

#include "FlashHistory.h"
#include "StateFolder.h"
#include "VisibleText.h"

#include <QLocale>
#include <QPushButton>
#include <QStyle>
#include <QTableWidgetItem>

namespace {

enum Column
{
    StartedColumn,
    ActionColumn,
    OutcomeColumn,
    UserColumn,
    ImageColumn
};

// The entry a row shows, kept with the row.
const int entryRole = Qt::UserRole;

} // namespace

HistoryDialog::HistoryDialog(QWidget *parent) : QDialog(parent), ui(new Ui::HistoryDialog)
{
    ui->setupUi(this);
    ui->buttonBox->button(QDialogButtonBox::Close)->setText(tr("&Close"));
    connect(ui->historyTable, &QTableWidget::currentCellChanged, this,
            [this](int row) { showDetails(row); });
}

HistoryDialog::~HistoryDialog()
{
    delete ui;
}

void HistoryDialog::showEvent(QShowEvent *event)
{
    reload();
    QDialog::showEvent(event);
    ui->historyTable->setFocus();
}

void HistoryDialog::reload()
{
    const StateFolder folder;
    const FlashHistory::Contents contents = FlashHistory::load(folder);
    const QString path = FlashHistory::path(folder);
    QStringList summary;
    if (!contents.refusal.isEmpty())
        summary << contents.refusal;
    else if (contents.entries.isEmpty())
        summary << tr("The history in %1 is empty.").arg(path);
    else
        summary << tr("Every update, put-back and verify of the flash, newest first, from %1.")
                       .arg(path);
    if (contents.skipped > 0)
        summary << tr("%n line(s) could not be read: cut short by a crash, or damaged.", nullptr,
                      contents.skipped);
    ui->summaryLabel->setText(summary.join(QLatin1Char(' ')));
    ui->historyTable->setAccessibleDescription(ui->summaryLabel->text());

    QTableWidget *table = ui->historyTable;
    table->clearContents();
    table->setRowCount(contents.entries.size());
    for (int row = 0; row < contents.entries.size(); ++row) {
        const FlashHistory::Entry &entry = contents.entries.at(contents.entries.size() - 1 - row);
        const auto cell = [&](Column column, const QString &text) {
            auto *item = new QTableWidgetItem(text);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            item->setData(entryRole, contents.entries.size() - 1 - row);
            table->setItem(row, column, item);
            return item;
        };
        cell(StartedColumn, entry.startText());
        cell(ActionColumn, entry.kindText());
        QTableWidgetItem *outcome = cell(OutcomeColumn, entry.outcomeText());
        if (entry.failed())
            outcome->setIcon(style()->standardIcon(
                entry.unfinished() ? QStyle::SP_MessageBoxWarning : QStyle::SP_MessageBoxCritical));
        cell(UserColumn, entry.user);
        // Names come from whoever ran the tool: control characters are shown written out.
        cell(ImageColumn, visibleText(entry.image));
    }
    entries = contents.entries;
    table->resizeColumnsToContents();
    table->setCurrentCell(table->rowCount() > 0 ? 0 : -1, 0);
    showDetails(table->currentRow());
}

void HistoryDialog::showDetails(int row)
{
    const QTableWidgetItem *item = ui->historyTable->item(row, StartedColumn);
    if (!item) {
        ui->detailsText->clear();
        return;
    }
    const FlashHistory::Entry &entry = entries.at(item->data(entryRole).toInt());
    const QLocale locale;
    QStringList lines;
    QString kind = entry.kindText();
    kind[0] = kind[0].toUpper();
    lines << tr("%1 by %2 (uid %3) with %4, started %5.")
                 .arg(kind, entry.user)
                 .arg(entry.uid)
                 .arg(entry.frontEnd == QLatin1String("window") ? tr("the window")
                                                                : visibleText(entry.frontEnd),
                      entry.startText());
    lines << (entry.ended.isValid()
                  ? tr("Ended %1: %2.")
                        .arg(locale.toString(entry.ended.toLocalTime(), QLocale::ShortFormat),
                             entry.outcomeText())
                  : tr("Its end was never recorded: the run was killed, crashed, or the power "
                       "went."));
    if (!entry.verdict.isEmpty())
        lines << visibleText(entry.verdict);
    lines << tr("Image: %1").arg(visibleText(entry.image));
    if (!entry.sha256.isEmpty())
        lines << tr("SHA-256: %1").arg(entry.sha256);
    lines << entry.signatureText();
    for (const FlashHistory::Component &c : entry.components)
        lines << tr("%1, version %2, at 0x%3, %4 bytes")
                     .arg(c.name.isEmpty() ? tr("(without a name)") : visibleText(c.name),
                          visibleText(c.version), QString::number(c.address, 16),
                          locale.toString(c.size));
    if (!entry.copy.isEmpty())
        lines << tr("A copy of the flash as it was before is in %1.").arg(visibleText(entry.copy));
    ui->detailsText->setPlainText(lines.join(QLatin1Char('\n')));
}
