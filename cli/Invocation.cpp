#include "Invocation.h"

#include <QCommandLineParser>

namespace {

struct CommandName
{
    const char *name;
    Invocation::Command command;
    int fewest; // path arguments
    int most;
};

const CommandName commands[] = {{"versions", Invocation::Versions, 0, 0},
                                {"info", Invocation::Info, 1, 1},
                                {"update", Invocation::Update, 1, 1},
                                {"restore", Invocation::Restore, 0, 1},
                                {"copies", Invocation::Copies, 0, 0},
                                {"verify", Invocation::Verify, 1, 1},
                                {"clear-damaged", Invocation::ClearDamaged, 1, 1}};

} // namespace

Invocation Invocation::parse(const QStringList &arguments)
{
    Invocation invocation;
    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version(QStringLiteral("version"), QString());
    const QCommandLineOption json(QStringLiteral("json"), QString());
    const QCommandLineOption yes(QStringLiteral("yes"), QString());
    const QCommandLineOption noCopy(QStringLiteral("no-copy"), QString());
    const QCommandLineOption ifNeeded(QStringLiteral("if-needed"), QString());
    const QCommandLineOption sha256(QStringLiteral("sha256"), QString(), QStringLiteral("HEX"));
    parser.addOptions({help, version, json, yes, noCopy, ifNeeded, sha256});
    if (!parser.parse(arguments)) {
        invocation.error = parser.errorText();
        return invocation;
    }
    if (parser.isSet(help))
        return invocation;
    if (parser.isSet(version)) {
        invocation.command = Version;
        return invocation;
    }
    invocation.json = parser.isSet(json);
    invocation.yes = parser.isSet(yes);
    invocation.noCopy = parser.isSet(noCopy);
    invocation.ifNeeded = parser.isSet(ifNeeded);
    invocation.sha256 = parser.value(sha256).toLatin1();

    const QStringList words = parser.positionalArguments();
    const QString name = words.value(0);
    const CommandName *found = nullptr;
    for (const CommandName &command : commands) {
        if (name == QLatin1String(command.name))
            found = &command;
    }
    if (!found) {
        invocation.error =
            name.isEmpty() ? tr("No command given.") : tr("Unknown command \"%1\".").arg(name);
        return invocation;
    }
    invocation.command = found->command;
    invocation.path = words.value(1);
    const int paths = words.size() - 1;
    if (paths < found->fewest || paths > found->most)
        invocation.error = tr("Wrong number of arguments for %1.").arg(name);
    else if (invocation.yes && found->command != Update && found->command != Restore &&
             found->command != ClearDamaged)
        invocation.error = tr("--yes applies to update, restore and clear-damaged only.");
    else if (invocation.noCopy && found->command != Update)
        invocation.error = tr("--no-copy applies to update only.");
    else if (invocation.ifNeeded && found->command != Update)
        invocation.error = tr("--if-needed applies to update only.");
    else if (parser.isSet(sha256) && found->command != Update && found->command != Info &&
             found->command != Verify && found->command != ClearDamaged)
        invocation.error = tr("--sha256 applies to info, update, verify and clear-damaged only.");
    else if (parser.isSet(sha256) &&
             (invocation.sha256.size() != 64 ||
              QByteArray::fromHex(invocation.sha256).toHex() != invocation.sha256.toLower()))
        invocation.error = tr("--sha256 takes the 64 hexadecimal digits of a SHA-256.");
    return invocation;
}

QString Invocation::usage()
{
    return tr("Usage: vorlan-flash [--json] COMMAND [ARGUMENTS]\n"
              "Updates the flash memory of a VORLAN system through the VORLAN kernel driver.\n"
              "\n"
              "Commands:\n"
              "  versions                          the installed HW timestamp, SW and PID version\n"
              "  info IMAGE [--sha256 HEX]         the image's components, signature and SHA-256,\n"
              "                                    and whether an update would take it\n"
              "  update IMAGE [--yes] [--no-copy] [--if-needed] [--sha256 HEX]\n"
              "                                    program the image into the flash, after a copy\n"
              "                                    of the pages it erases\n"
              "  verify IMAGE [--sha256 HEX]       whether the flash holds the image; it only\n"
              "                                    reads the flash\n"
              "  restore [COPY] [--yes]            put back a copy of the flash (the newest one\n"
              "                                    by default)\n"
              "  copies                            the saved copies of the flash, newest first\n"
              "  clear-damaged IMAGE [--yes] [--sha256 HEX]\n"
              "                                    after a damaged record: once the flash holds\n"
              "                                    the complete IMAGE, stop counting the record\n"
              "                                    (its file stays)\n"
              "\n"
              "Options:\n"
              "  --yes         update without asking; needed without a terminal and with --json\n"
              "  --no-copy     update without saving a copy of the flash first\n"
              "  --if-needed   update only when the flash does not hold the image already\n"
              "  --sha256 HEX  refuse an image whose SHA-256 is another (the published one)\n"
              "  --json        one JSON object a line on standard output\n"
              "  -h, --help    this help\n"
              "  --version     the program's version\n"
              "\n"
              "Exit status: 0 the flash holds the image (or a query succeeded), 1 the update\n"
              "failed and the flash does not hold a complete image, 2 refused with the flash\n"
              "unchanged (also for a refused signature or SHA-256), 3 the driver cannot be\n"
              "reached, 4 another program is updating the flash, 64 wrong usage. With verify,\n"
              "1 says that the flash does not hold the image.\n");
}

QString Invocation::versionText()
{
    return QStringLiteral("vorlan-flash " VORLAN_VERSION "\n");
}
