#pragma once

// Set by the force option before the main window exists: the window then stays open even when
// the driver's mailbox node cannot be used.
extern bool openWithoutDriver;

// Whether the command line selects the force option: "-f" or "--force" as the first argument,
// exactly; anything else, anywhere else, does not.
bool forceOptionGiven(int argc, char **argv);
