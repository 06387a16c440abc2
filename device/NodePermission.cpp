#include "NodePermission.h"

#include "SystemError.h"

#include <cerrno>
#include <unistd.h>

QString nodePermissionAdvice()
{
    return QStringLiteral("Add yourself to the group vorlan (sudo usermod -aG vorlan $USER) and "
                          "log in again.");
}

QString nodeOpenAdvice(const char *path)
{
    const bool denied = access(path, F_OK) == 0 && access(path, R_OK | W_OK) != 0;
    return denied ? QStringLiteral("You may not use it. ") + nodePermissionAdvice()
                  : QStringLiteral("Please check if VORLAN driver is loaded.");
}

QString nodeOpenError(const char *path, int error)
{
    QString text =
        QStringLiteral("Error opening %1: %2").arg(QLatin1String(path), systemErrorText(error));
    if (error == EACCES || error == EPERM)
        text += QStringLiteral(". ") + nodePermissionAdvice();
    return text;
}
