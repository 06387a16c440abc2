#include "XServer.h"

#include <QStandardPaths>

XServer::XServer() = default;

XServer::~XServer()
{
    kill();
}

bool XServer::available()
{
    return !QStandardPaths::findExecutable("Xvfb").isEmpty() &&
           !QStandardPaths::findExecutable("xdotool").isEmpty();
}

QProcessEnvironment XServer::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *variable : {"LD_PRELOAD", "ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"})
        environment.remove(variable);
    if (!name.isEmpty())
        environment.insert("DISPLAY", name);
    return environment;
}

bool XServer::start()
{
    server.setProcessEnvironment(environment());
    server.start("Xvfb", {"-displayfd", "1", "-screen", "0", "800x800x24", "-nolisten", "tcp"});
    if (!server.waitForReadyRead(10000)) {
        failure = QStringLiteral("the X server did not come up: ") +
                  QString::fromLocal8Bit(server.readAllStandardError().right(500));
        return false;
    }
    name = ':' + server.readLine().trimmed();
    return true;
}

void XServer::kill()
{
    server.kill();
    server.waitForFinished(10000);
}

bool XServer::xdo(const QStringList &arguments) const
{
    QProcess xdotool;
    xdotool.setProcessEnvironment(environment());
    xdotool.start("timeout", QStringList{"20", "xdotool"} + arguments);
    return xdotool.waitForFinished(30000) && xdotool.exitStatus() == QProcess::NormalExit &&
           xdotool.exitCode() == 0;
}
