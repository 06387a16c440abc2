#include "StartupOptions.h"

#include <QCoreApplication>

bool openWithoutDriver = false;

bool forceOptionGiven(int argc, char **argv)
{
    const QString first = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    return first == QLatin1String("-f") || first == QLatin1String("--force");
}

QString startupText(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument == QLatin1String("--"))
            break;
        if (argument == QLatin1String("--version"))
            return QStringLiteral("vorlan-update " VORLAN_VERSION "\n");
        if (argument == QLatin1String("-h") || argument == QLatin1String("--help"))
            return QCoreApplication::translate(
                "vorlan-update",
                "Usage: vorlan-update [-f|--force] [IMAGE]\n"
                "Shows the installed versions of a VORLAN system and, after a confirmation,\n"
                "updates its flash memory with the update image IMAGE (*.tarnru), which is\n"
                "filled in when given.\n"
                "\n"
                "  -f, --force  keep the window open when the driver cannot be reached\n"
                "               (the first argument only)\n"
                "  -h, --help   this help\n"
                "  --version    the program's version\n"
                "\n"
                "Qt's options, such as -platform and -style, are taken too.\n");
    }
    return QString();
}

QString imageArgument(const QStringList &arguments)
{
    QStringList images;
    bool optionsEnded = false;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (!optionsEnded && argument == QLatin1String("--"))
            optionsEnded = true;
        else if (optionsEnded || !argument.startsWith(QLatin1Char('-')))
            images << argument;
    }
    return images.size() == 1 ? images.first() : QString();
}
