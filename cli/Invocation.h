#pragma once

#include <QString>
#include <QStringList>

// What the command line asks vorlan-flash to do.
struct Invocation
{
    enum Command
    {
        Help,
        Version,
        Versions,
        Info,
        Update,
        Restore,
        Copies
    };

    Command command = Help;
    QString path; // the image of info and update, the copy of restore
    bool json = false;
    bool yes = false;
    bool noCopy = false;
    QString error; // why the command line is wrong, or empty

    static Invocation parse(const QStringList &arguments);
    static QString usage();
    static QString versionText();
};
