#include "MainWindow.h"
#include "StartupOptions.h"

#include <QApplication>
#include <QDebug>
#include <QString>

int main(int argc, char *argv[])
{
    // Only the first argument is looked at; every argument still goes to Qt unchanged.
    const QString firstArgument = QString::fromLocal8Bit(argv[1]);
    if (firstArgument == QLatin1String("-f") || firstArgument == QLatin1String("--force")) {
        qDebug() << "openWithoutDriver: ON";
        openWithoutDriver = true;
    }

    QApplication application(argc, argv);
    MainWindow window;
    window.show();
    return application.exec();
}
