#include "NodePermission.h"

#include <unistd.h>

bool lacksNodePermission(const char *path)
{
    return access(path, F_OK) == 0 && access(path, R_OK | W_OK) != 0;
}

QString nodePermissionAdvice()
{
    return QStringLiteral("Add yourself to the group vorlan (sudo usermod -aG vorlan $USER) and "
                          "log in again.");
}
