#pragma once

#include <QString>

// The driver's nodes belong to the group vorlan, which a user must be in to use them.

// What a user who may not open the nodes does about it.
QString nodePermissionAdvice();

// What to check when the node at path could not be opened: the group, when the node is there
// but this user may not open it for reading and writing; otherwise whether the driver is loaded.
QString nodeOpenAdvice(const char *path);

// "Error opening PATH: REASON", and what to do about it when it is a lack of rights.
QString nodeOpenError(const char *path, int error);
