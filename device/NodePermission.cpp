#include "NodePermission.h"

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
