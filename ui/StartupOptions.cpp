#include "StartupOptions.h"

#include <QString>

bool openWithoutDriver = false;

bool forceOptionGiven(int argc, char **argv)
{
    const QString first = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    return first == QLatin1String("-f") || first == QLatin1String("--force");
}
