#include "MainWindow.h"
#include "StandardDescriptors.h"
#include "StartupOptions.h"

#include <QApplication>
#include <QDebug>
#include <QIcon>
#include <QString>

#include <csignal>

int main(int argc, char *argv[])
{
    openClosedStandardDescriptors();
    // A reader of the tool's output that goes away (a closed pipe) must not end an update:
    // writes to it fail instead.
    std::signal(SIGPIPE, SIG_IGN);

    // Only the first argument is looked at; every argument still goes to Qt unchanged.
    const QString firstArgument = QString::fromLocal8Bit(argv[1]);
    if (firstArgument == QLatin1String("-f") || firstArgument == QLatin1String("--force")) {
        qDebug() << "openWithoutDriver: ON";
        openWithoutDriver = true;
    }

    QApplication application(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/images/vorlan-update.png")));
    QGuiApplication::setDesktopFileName(QStringLiteral("vorlan-update"));
    MainWindow window;
    window.show();
    return application.exec();
}
