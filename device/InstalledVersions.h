#pragma once

class QString;

// Asks the mailbox node for the installed hardware timestamp, software version and PID version.
// Each non-null output receives its text only when the whole query succeeds.
// Returns 0, -1 when the node cannot be opened, or the failing request's negative result.
int readInstalledVersions(QString *hwTimestamp, QString *swVersion, QString *pidVersion);
