#include "MainWindow.h"
#include "StandardDescriptors.h"
#include "StartupOptions.h"
#include "Translations.h"

#include <QApplication>
#include <QDebug>
#include <QIcon>

#include <csignal>
#include <cstdio>

int main(int argc, char *argv[])
{
    openClosedStandardDescriptors();
    // A reader of the tool's output that goes away (a closed pipe) must not end an update:
    // writes to it fail instead.
    std::signal(SIGPIPE, SIG_IGN);

    // The help and the version need no display: they are printed before any window exists.
    if (!startupText(argc, argv).isEmpty()) {
        QCoreApplication core(argc, argv);
        Translations::install();
        std::fputs(startupText(argc, argv).toLocal8Bit().constData(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }

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
    window.setImage(imageArgument(QCoreApplication::arguments()));
    window.show();
    return application.exec();
}
