#pragma once

#include <QAccessible>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>

class QLabel;
class QProgressBar;
class QTimer;

// Keeps what assistive technology hears of an update at a pace a person can follow: the worker
// reports every block, which would flood a screen reader. A paced progress bar's value reaches
// it at most twice a second, its last value included; a paced status line's text once per
// stage, a stage being the text without the address at its end. What the window shows is not
// touched: only the events to assistive technology are held back.
class AccessiblePacer : public QObject
{
    Q_OBJECT

public:
    explicit AccessiblePacer(QObject *parent = nullptr);
    ~AccessiblePacer() override;

    void paceValue(QProgressBar *bar);
    void paceStage(QLabel *label);
    static QString stage(const QString &text);

private:
    struct Pace
    {
        QElapsedTimer sinceSent;
        QTimer *late = nullptr; // sends the value that was held back last
    };

    static void receive(QAccessibleEvent *event);
    void pass(QAccessibleEvent *event);
    bool holdBack(QAccessibleEvent *event);

    QHash<QObject *, Pace> bars;
    QHash<QObject *, QString> stages; // the stage each paced label last told
    QAccessible::UpdateHandler previous;
};
