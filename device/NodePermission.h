#pragma once

#include <QString>

// Whether the device node is there but this user may not open it for reading and writing. The
// driver's nodes belong to the group vorlan, which a user must be in to use them.
bool lacksNodePermission(const char *path);

// What a user who lacks that permission does about it.
QString nodePermissionAdvice();
