#pragma once

#include <QString>

#include <cstring>

// The C library's text for an errno value ("Input/output error"), as strerror gives it, but
// safe in any thread.
inline QString systemErrorText(int error)
{
    char buffer[256];
    return QString::fromLocal8Bit(strerror_r(error, buffer, sizeof buffer));
}
