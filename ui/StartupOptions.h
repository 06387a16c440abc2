#pragma once

#include <QString>
#include <QStringList>

// Set by the force option before the main window exists: the window then stays open even when
// the driver's mailbox node cannot be used.
extern bool openWithoutDriver;

// Whether the command line selects the force option: "-f" or "--force" as the first argument,
// exactly; anything else, anywhere else, does not.
bool forceOptionGiven(int argc, char **argv);
// The help or the version when the command line asks for one ("-h", "--help", "--version"
// before any "--"), to print before a display is needed; else empty.
QString startupText(int argc, char **argv);
// The image that the command line names, as a file manager passes it: the one argument left
// once Qt has taken its options that is not an option itself; else empty.
QString imageArgument(const QStringList &arguments);
