#pragma once

#include <QString>

// How one run of the updater ended, as the worker knows it: what the front ends present and
// what decides the exit status of the command line.
struct UpdateOutcome
{
    enum Result
    {
        Written,      // every component written and verified: "Done"
        Refused,      // stopped before the first erase: the flash is as it was
        NoDevice,     // the flash node could not be opened: the flash is as it was
        Busy,         // another program holds the flash node: the flash is as it was
        CopyNotSaved, // the copy of the flash could not be saved: the flash is as it was
        Failed        // stopped after the flash was changed: it holds no complete image
    };

    Result result = Refused;
    int failedComponent = 0; // with Failed: the component that was being programmed, from 1
    QString status;          // the last status text
    QString copyPath;        // the copy of the flash saved before the first erase, if any
    // With Written: why the record could not take this update's pages off, if it could not.
    QString recordProblem;

    bool flashChanged() const { return result == Written || result == Failed; }
};
