#pragma once

#include <QProcess>
#include <QStringList>

// An X server of one test's own (Xvfb on a display it picks itself), and xdotool to work the
// windows on it. The server and xdotool run without the test's preloaded simulator and
// sanitizer runtime: under the leak checker, the keymap compiler that Xvfb starts would report
// its leaks and fail, and Xvfb would quit.
class XServer
{
public:
    XServer();
    ~XServer();

    static bool available(); // Xvfb and xdotool are installed
    bool start();            // false, with the reason in error(), when it did not come up
    QString error() const { return failure; }
    QByteArray display() const { return name; }
    void kill(); // the display goes away, as when a session ends
    // Runs xdotool on this display; false when it failed or did not answer in time.
    bool xdo(const QStringList &arguments) const;

private:
    QProcessEnvironment environment() const;

    QProcess server;
    QByteArray name;
    QString failure;
};
