#pragma once

// Set by the force option before the main window exists: the window then stays open even when
// the driver's mailbox node cannot be used.
extern bool openWithoutDriver;
