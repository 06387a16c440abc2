#pragma once

#include "FlashHistory.h"

#include <QDialog>
#include <QList>

namespace Ui {
class HistoryDialog;
}

// Every update, put-back, restore and verify that opened the flash, newest first, read-only. The
// history is read again each time the dialog is shown or reloaded: it is what the state folder
// holds now, whichever front end wrote it. Failed and unfinished entries carry an icon beside
// their word; the details below the table say everything the entry holds.
class HistoryDialog : public QDialog
{
    Q_OBJECT

public:
    explicit HistoryDialog(QWidget *parent = nullptr);
    ~HistoryDialog() override;

    void reload();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showDetails(int row);

    Ui::HistoryDialog *ui;
    QList<FlashHistory::Entry> entries; // oldest first, as read
};
