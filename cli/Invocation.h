#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QStringList>

// What the command line asks vorlan-flash to do.
struct Invocation
{
    Q_DECLARE_TR_FUNCTIONS(Invocation)

public:
    enum Command
    {
        Help,
        Version,
        Versions,
        Info,
        Update,
        Restore,
        Copies,
        Verify,
        ClearDamaged
    };

    Command command = Help;
    QString path; // the image of info, update, verify and clear-damaged, the copy of restore
    bool json = false;
    bool yes = false;
    bool noCopy = false;
    bool ifNeeded = false;
    QByteArray sha256; // that the image must have, in hexadecimal; empty for any
    QString error;     // why the command line is wrong, or empty

    static Invocation parse(const QStringList &arguments);
    static QString usage();
    static QString versionText();
};
