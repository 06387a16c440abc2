#include "MainWindow.h"
#include "StandardDescriptors.h"
#include "StartupOptions.h"
#include "Translations.h"

#include <QApplication>
#include <QDebug>
#include <QIcon>

#include <csignal>

int main(int argc, char *argv[])
{
    openClosedStandardDescriptors();
    // A reader of the tool's output that goes away (a closed pipe) must not end an update:
    // writes to it fail instead.
    std::signal(SIGPIPE, SIG_IGN);

    // Every argument still goes to Qt unchanged.
    if (forceOptionGiven(argc, argv)) {
        qDebug() << "openWithoutDriver: ON";
        openWithoutDriver = true;
    }

    QApplication application(argc, argv);
    Translations::install();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/images/vorlan-update.png")));
    QGuiApplication::setDesktopFileName(QStringLiteral("vorlan-update"));
    MainWindow window;
    window.show();
    return application.exec();
}
