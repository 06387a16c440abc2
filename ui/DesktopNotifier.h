#pragma once

#include <QObject>

class QWidget;

// What the desktop shows of an update outside the window: its progress on the tool's task bar
// entry, where docks and task managers read it (the LauncherEntry signal), and its verdict as a
// notification when the window is not active as it ends. Both go over the session bus without
// waiting for an answer: a desktop without them stays quiet.
class DesktopNotifier : public QObject
{
    Q_OBJECT

public:
    explicit DesktopNotifier(QWidget *window);

    void showProgress(int percent);
    void showEnd(const QString &verdict, bool alarming);

private:
    void sendProgress(int percent, bool visible);

    QWidget *window;
    int shownPercent = -1;
};
