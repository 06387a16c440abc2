#pragma once

#include <QElapsedTimer>
#include <QMessageBox>

// A question whose Yes writes the flash. It counts only an answer given after it appeared: key
// presses and clicks that were already on their way, such as the key that confirmed the dialog
// before it and its repeats, are dropped.
class FlashQuestion : public QMessageBox
{
    Q_OBJECT

public:
    FlashQuestion(const QString &title, const QString &text, StandardButton defaultButton,
                  QWidget *parent = nullptr);

    // Asks and waits for the answer; true for Yes.
    static bool ask(QWidget *parent, const QString &title, const QString &text,
                    StandardButton defaultButton);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QElapsedTimer shown;
    QElapsedTimer keysQuiet; // since the question appeared or the last key that was dropped
    bool keysCount = false;
};
