#pragma once

#include <sys/types.h>

class QString;

// The three answer words of the mailbox.
struct InstalledVersionWords
{
    u_int32_t software;
    u_int32_t hwTimestamp;
    u_int32_t pid;
};

// Asks the mailbox node for the installed hardware timestamp, software version and PID version.
// Each non-null output receives its text only when the whole query succeeds.
// Returns 0, -1 when the node cannot be opened, or the failing request's negative result.
int readInstalledVersions(QString *hwTimestamp, QString *swVersion, QString *pidVersion);

// The same query, giving the words themselves; words is left alone unless it returns 0.
int readInstalledVersionWords(InstalledVersionWords *words);
