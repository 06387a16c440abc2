#pragma once

#include <QMessageBox>

// A question whose Yes writes the flash. It counts only an answer given after it appeared
// (SettledInput).
class FlashQuestion : public QMessageBox
{
    Q_OBJECT

public:
    FlashQuestion(const QString &title, const QString &text, StandardButton defaultButton,
                  QWidget *parent = nullptr);

    // Asks and waits for the answer; true for Yes.
    static bool ask(QWidget *parent, const QString &title, const QString &text,
                    StandardButton defaultButton);
};
