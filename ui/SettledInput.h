#pragma once

#include <QElapsedTimer>
#include <QObject>

class QWidget;

// Keeps a window whose answer writes the flash from taking input that was not meant for it: key
// presses and clicks that were already on their way as it appeared, such as the key that
// confirmed the window before it and its repeats, are dropped. Keys count once the keyboard has
// been quiet for a moment since the window appeared; clicks count after that moment.
class SettledInput : public QObject
{
    Q_OBJECT

public:
    // Watches the window for as long as it is shown, every time it is.
    explicit SettledInput(QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *window;
    QElapsedTimer shown;
    QElapsedTimer keysQuiet; // since the window appeared or the last key that was dropped
    bool keysCount = false;
};
