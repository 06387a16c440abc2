#include "NodePermission.h"

#include "SystemError.h"

#include <QCoreApplication>

#include <cerrno>
#include <unistd.h>

QString nodePermissionAdvice()
{
    return QCoreApplication::translate("NodePermission",
                                       "Add yourself to the group vorlan (sudo usermod -aG vorlan "
                                       "$USER) and log in again.");
}

QString nodeOpenAdvice(const char *path)
{
    const bool denied = access(path, F_OK) == 0 && access(path, R_OK | W_OK) != 0;
    return denied ? QCoreApplication::translate("NodePermission", "You may not use it. %1")
                        .arg(nodePermissionAdvice())
                  : QCoreApplication::translate("NodePermission",
                                                "Please check if VORLAN driver is loaded.");
}

QString nodeOpenError(const char *path, int error)
{
    const QString reason = systemErrorText(error);
    if (error == EACCES || error == EPERM)
        return QCoreApplication::translate("NodePermission", "Error opening %1: %2. %3")
            .arg(QLatin1String(path), reason, nodePermissionAdvice());
    return QCoreApplication::translate("NodePermission", "Error opening %1: %2")
        .arg(QLatin1String(path), reason);
}
