#include "FlashCommand.h"

#include "ExitStatus.h"
#include "FlashCopies.h"
#include "ImageChecks.h"
#include "ImageDigest.h"
#include "ImageReader.h"
#include "InstalledVersions.h"
#include "NodePermission.h"
#include "UpdateRecord.h"
#include "UpdateRun.h"
#include "UpdateVerdict.h"
#include "VorlanDriver.h"

#include <QFile>
#include <QJsonObject>
#include <QVector>

#include <algorithm>

namespace {

QString addressText(u_int32_t address)
{
    return QStringLiteral("0x") + QString::number(address, 16);
}

// What a terminal shows as it is: a name from an image could otherwise move the cursor or clear
// the screen before the question is asked.
QString printable(QString text)
{
    for (QChar &c : text) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char('?');
    }
    return text;
}

// A path as a shell takes it back in one piece.
QString shellQuoted(QString path)
{
    return QLatin1Char('\'') + path.replace(QLatin1String("'"), QLatin1String("'\\''")) +
           QLatin1Char('\'');
}

QJsonValue textOrNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

int exitStatus(const UpdateOutcome &outcome)
{
    switch (outcome.result) {
    case UpdateOutcome::Written:
        // This image verified, but an earlier update left other pages without theirs.
        return outcome.incompleteSince.isEmpty() ? Success : UpdateFailed;
    case UpdateOutcome::Failed:
        return UpdateFailed;
    case UpdateOutcome::NoDevice:
        return NoDriver;
    case UpdateOutcome::Busy:
        return FlashBusy;
    default:
        return Refused;
    }
}

} // namespace

FlashCommand::FlashCommand(const Invocation &invocation, QObject *parent)
    : QObject(parent), invocation(invocation), console(invocation.json),
      verdict(new UpdateVerdict(this)), run(new UpdateRun(&console, verdict, this))
{
}

int FlashCommand::exec()
{
    switch (invocation.command) {
    case Invocation::Versions:
        return versions();
    case Invocation::Info:
        return info();
    case Invocation::Copies:
        return copies();
    case Invocation::Restore:
        return restore();
    case Invocation::Update:
        return update(invocation.path, invocation.noCopy ? UpdaterThread::CopyMode::Declined
                                                         : UpdaterThread::CopyMode::Save);
    default:
        return WrongUsage;
    }
}

int FlashCommand::versions()
{
    QString hwTimestamp;
    QString swVersion;
    QString pidVersion;
    if (readInstalledVersions(&hwTimestamp, &swVersion, &pidVersion) < 0) {
        console.fail(QStringLiteral("The VORLAN driver cannot be reached through %1. ")
                         .arg(QLatin1String(mailboxNodePath)) +
                     nodeOpenAdvice(mailboxNodePath));
        return NoDriver;
    }
    console.report(QStringLiteral("HW timestamp: %1\nSW version: %2\nPID version: %3")
                       .arg(hwTimestamp, swVersion, pidVersion),
                   QStringLiteral("versions"),
                   {{QStringLiteral("hwTimestamp"), hwTimestamp},
                    {QStringLiteral("swVersion"), swVersion},
                    {QStringLiteral("pidVersion"), pidVersion}});
    return Success;
}

int FlashCommand::info()
{
    QList<ComponentRecord> components;
    QByteArray sha256;
    return inspect(invocation.path, &components, &sha256).isEmpty() ? Success : Refused;
}

int FlashCommand::copies()
{
    const QList<FlashCopies::Copy> copies = FlashCopies::list();
    for (const FlashCopies::Copy &copy : copies) {
        const QDateTime local = copy.time.toLocalTime();
        console.report(QStringLiteral("%1  %2 bytes  %3")
                           .arg(local.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                           .arg(copy.size, 10)
                           .arg(copy.path),
                       QStringLiteral("copy"),
                       {{QStringLiteral("path"), copy.path},
                        {QStringLiteral("time"), copy.time.toString(Qt::ISODate)},
                        {QStringLiteral("size"), double(copy.size)}});
    }
    const QString folder = FlashCopies::folder();
    console.report(copies.isEmpty()
                       ? QStringLiteral("No copy of the flash has been saved in %1.").arg(folder)
                       : QString(),
                   QStringLiteral("copies"),
                   {{QStringLiteral("folder"), folder}, {QStringLiteral("count"), copies.size()}});
    return Success;
}

// The copy of a half-written flash would be worth nothing: a restore saves none.
int FlashCommand::restore()
{
    QString copy = invocation.path;
    // After updates that did not finish, the copy from before the first of them; a newer one
    // holds pages that it left half written.
    if (copy.isEmpty() && UpdateRecord::exists())
        copy = UpdateRecord::load().copy;
    if (copy.isEmpty()) {
        const QList<FlashCopies::Copy> copies = FlashCopies::list();
        if (copies.isEmpty()) {
            console.fail(QStringLiteral("There is no copy of the flash to put back in %1.")
                             .arg(FlashCopies::folder()));
            return Refused;
        }
        copy = copies.first().path;
    }
    return update(copy, UpdaterThread::CopyMode::Skip);
}

int FlashCommand::update(const QString &image, UpdaterThread::CopyMode copyMode)
{
    // An update that began erasing and never ended in "Done": it was killed, it crashed, or the
    // power went. Until a run ends in "Done", the verdict says so.
    if (UpdateRecord::exists()) {
        const UpdateRecord record = UpdateRecord::load();
        console.warn(record.warning());
        verdict->assumeIncomplete(record.since());
    }
    QList<ComponentRecord> components;
    QByteArray sha256;
    const QString problem = inspect(image, &components, &sha256);
    // Nothing is asked about an image that the update refuses anyway; the worker says why.
    if (problem.isEmpty() && !confirmed(components.size())) {
        // The last line is a verdict whichever way the command ends.
        const QString text = QStringLiteral("The flash was not changed: the update was not "
                                            "confirmed.");
        console.report(text, QStringLiteral("verdict"),
                       {{QStringLiteral("outcome"), QStringLiteral("unchanged")},
                        {QStringLiteral("text"), text},
                        {QStringLiteral("component"), QJsonValue()},
                        {QStringLiteral("copy"), QJsonValue()}});
        return Refused;
    }

    // What was shown is what is written: the worker checks the bytes again, against this hash.
    const QByteArray expected = invocation.sha256.isEmpty() ? sha256 : invocation.sha256;
    bool interrupted = run->exec(image, components, expected, copyMode);
    if (verdict->outcome().result == UpdateOutcome::CopyNotSaved && !interrupted) {
        if (console.interactive()) {
            if (console.confirm(verdict->outcome().status +
                                QStringLiteral(" Update without a copy? [y/N]")))
                interrupted =
                    run->exec(image, components, expected, UpdaterThread::CopyMode::Declined);
        } else {
            console.fail(QStringLiteral("Add --no-copy to update without a copy."));
        }
    }
    return finish(components, interrupted);
}

bool FlashCommand::confirmed(int count)
{
    if (invocation.yes)
        return true;
    if (!console.interactive()) {
        console.fail(console.json()
                         ? QStringLiteral("With --json, add --yes: no question is asked. The "
                                          "flash was not changed.")
                         : QStringLiteral("There is no terminal to ask on: add --yes to update "
                                          "without the question. The flash was not changed."));
        return false;
    }
    return console.confirm(
        QStringLiteral("Update the flash with these %1 components? [y/N]").arg(count));
}

int FlashCommand::finish(const QList<ComponentRecord> &components, bool interrupted)
{
    const UpdateOutcome outcome = verdict->outcome();
    const QString text = verdict->text();
    const bool failed = outcome.result == UpdateOutcome::Failed;
    const int k = outcome.failedComponent;
    const QJsonValue component = failed && k >= 1 && k <= components.size()
                                     ? QJsonValue(componentName(components.at(k - 1)))
                                     : QJsonValue();
    const char *name = outcome.result == UpdateOutcome::Written ? "written"
                       : failed                                 ? "failed"
                                                                : "unchanged";
    console.report(text, QStringLiteral("verdict"),
                   {{QStringLiteral("outcome"), QLatin1String(name)},
                    {QStringLiteral("text"), text},
                    {QStringLiteral("component"), component},
                    {QStringLiteral("copy"), textOrNull(outcome.copyPath)}});
    // Whether to put the copy back is for whoever ran the update to decide.
    if (failed && !outcome.copyPath.isEmpty() && console.interactive() && !interrupted)
        console.report(QStringLiteral("To put it back: vorlan-flash restore ") +
                           shellQuoted(outcome.copyPath),
                       QStringLiteral("hint"));
    return exitStatus(outcome);
}

void FlashCommand::list(const QString &image, const QList<ComponentRecord> &components)
{
    QList<QStringList> rows{{QStringLiteral("Name"), QStringLiteral("Version"),
                             QStringLiteral("Address"), QStringLiteral("Size"),
                             QStringLiteral("Min HW")}};
    for (const ComponentRecord &c : components) {
        rows.append({printable(componentName(c)), componentVersionText(c.version),
                     addressText(c.flashAddress), QString::number(c.size),
                     QString::number(c.minHW)});
        console.report(QString(), QStringLiteral("component"),
                       {{QStringLiteral("name"), rows.last().at(0)},
                        {QStringLiteral("version"), rows.last().at(1)},
                        {QStringLiteral("address"), rows.last().at(2)},
                        {QStringLiteral("size"), double(c.size)},
                        {QStringLiteral("minHW"), double(c.minHW)}});
    }
    if (console.json())
        return;
    QVector<int> widths(rows.first().size(), 0);
    for (const QStringList &row : rows) {
        for (int i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row.at(i).size());
    }
    QString table = QStringLiteral("%1: %2 component%3")
                        .arg(printable(image))
                        .arg(components.size())
                        .arg(components.size() == 1 ? "" : "s");
    for (const QStringList &row : rows) {
        table += QLatin1Char('\n');
        for (int i = 0; i < row.size() - 1; ++i)
            table += QStringLiteral("  ") + row.at(i).leftJustified(widths[i]);
        table += QStringLiteral("  ") + row.last();
    }
    console.report(table, QString());
}

// Lists the image's components and shows its signature and SHA-256, all from one descriptor
// of the file, and whether an update would take it. Returns why not, or an empty string.
QString FlashCommand::inspect(const QString &image, QList<ComponentRecord> *components,
                              QByteArray *sha256)
{
    QFile file;
    const bool opened = openImageFile(file, image);
    const int readResult = opened ? readImageComponents(file, *components) : -1;
    list(image, *components);
    QString problem = imageProblem(image, readResult, *components);
    ImageDigest digest(image, *components);
    digest.setExpectedSha256(invocation.sha256);
    if (opened && !digest.read(file) && problem.isEmpty())
        problem = digest.refusal();
    *sha256 = digest.sha256();

    QString text;
    QJsonValue signature;
    if (opened) {
        const SignatureResult &origin = digest.signature();
        text = printable(origin.line()) + QLatin1Char('\n');
        signature = QJsonObject{{QStringLiteral("status"), origin.statusName()},
                                {QStringLiteral("signer"), textOrNull(origin.signer)},
                                {QStringLiteral("fingerprint"), textOrNull(origin.fingerprint)}};
    }
    if (!sha256->isEmpty())
        text += QStringLiteral("SHA-256: %1\n").arg(QString::fromLatin1(*sha256));
    text += problem.isEmpty() ? QStringLiteral("An update would take this image.")
                              : QStringLiteral("An update would refuse this image: ") + problem;
    console.report(text, QStringLiteral("image"),
                   {{QStringLiteral("path"), image},
                    {QStringLiteral("accepted"), problem.isEmpty()},
                    {QStringLiteral("problem"), textOrNull(problem)},
                    {QStringLiteral("signature"), signature},
                    {QStringLiteral("sha256"), textOrNull(QString::fromLatin1(*sha256))}});
    return problem;
}
