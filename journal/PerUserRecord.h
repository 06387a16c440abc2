#pragma once

#include <QCoreApplication>
#include <QString>

class StateFolder;

// The record of the pages at risk and the copies as the release before kept them, per user, in
// $XDG_STATE_HOME/vorlan-update (by default ~/.local/state/vorlan-update). A record there that
// names pages at risk is taken into the record of the machine's flash with its copies, so that
// what it knew is not lost; then it is renamed, so that it is taken in once.
class PerUserRecord
{
    Q_DECLARE_TR_FUNCTIONS(PerUserRecord)

public:
    // Where it is, whether or not it exists.
    static QString location();
    // Whether a record waits there to be taken in.
    static bool waiting();
    // Under the flash's lock. What was taken in, for the user; or why it could not be, and then
    // it stays where it is. Empty when there was nothing to take in.
    static QString takeIn(const StateFolder &folder);
};
