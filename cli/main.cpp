// vorlan-flash: the VORLAN Update Utility's updates from a terminal, a script or a fleet.

#include "ExitStatus.h"
#include "FlashCommand.h"
#include "Invocation.h"
#include "StandardDescriptors.h"
#include "Translations.h"
#include "VisibleText.h"

#include <QCoreApplication>
#include <QLocale>

#include <clocale>
#include <csignal>
#include <cstdio>

namespace {

QtMessageHandler usualHandler = nullptr;

// The core's debug lines are for its developers, and the verdict's own line is printed anyway.
void dropChatter(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        usualHandler(type, context, message);
}

void print(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

} // namespace

int main(int argc, char *argv[])
{
    openClosedStandardDescriptors();
    // A reader of the output that goes away (vorlan-flash update ... | head -1) must not end an
    // update: writes to it fail instead.
    std::signal(SIGPIPE, SIG_IGN);
    if (!qEnvironmentVariableIsSet("VORLAN_FLASH_DEBUG"))
        usualHandler = qInstallMessageHandler(dropChatter);

    QCoreApplication application(argc, argv);
    Invocation invocation = Invocation::parse(QCoreApplication::arguments());
    // What --json writes is read by programs: its texts and numbers are the same under every
    // locale. Everything else speaks the user's language, the complaint about the command line
    // included.
    if (invocation.json) {
        QLocale::setDefault(QLocale::c());
        setlocale(LC_MESSAGES, "C"); // the C library's error texts
    } else {
        Translations::install();
        invocation = Invocation::parse(QCoreApplication::arguments());
    }
    if (!invocation.error.isEmpty()) {
        print(stderr,
              QStringLiteral("vorlan-flash: %1\n").arg(visibleText(invocation.error)) +
                  QCoreApplication::translate("vorlan-flash", "Try 'vorlan-flash --help'.\n"));
        return WrongUsage;
    }
    if (invocation.command == Invocation::Help) {
        print(stdout, Invocation::usage());
        return Success;
    }
    if (invocation.command == Invocation::Version) {
        print(stdout, Invocation::versionText());
        return Success;
    }
    FlashCommand command(invocation);
    return command.exec();
}
