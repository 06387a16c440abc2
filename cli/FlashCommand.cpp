#include "FlashCommand.h"

#include "ExitStatus.h"
#include "FlashCopies.h"
#include "FlashVerifier.h"
#include "ImageChecks.h"
#include "ImageReader.h"
#include "InstalledVersions.h"
#include "NodePermission.h"
#include "UpdateRecord.h"
#include "UpdateRun.h"
#include "UpdateVerdict.h"
#include "VorlanDriver.h"

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
    case Invocation::Verify:
        return verify();
    case Invocation::Update:
        if (invocation.ifNeeded && alreadyHeld())
            return Success;
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
    const int readResult = readImageComponents(invocation.path, components);
    list(invocation.path, components);
    const QString problem = imageProblem(invocation.path, readResult, components);
    console.report(problem.isEmpty()
                       ? QStringLiteral("An update would take this image.")
                       : QStringLiteral("An update would refuse this image: ") + problem,
                   QStringLiteral("image"),
                   {{QStringLiteral("path"), invocation.path},
                    {QStringLiteral("accepted"), problem.isEmpty()},
                    {QStringLiteral("problem"), textOrNull(problem)}});
    return problem.isEmpty() ? Success : Refused;
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
    const int readResult = readImageComponents(image, components);
    list(image, components);
    // Nothing is asked about an image that the update refuses anyway; the worker says why.
    if (imageProblem(image, readResult, components).isEmpty() && !confirmed(components.size())) {
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

    bool interrupted = run->exec(image, components, copyMode);
    if (verdict->outcome().result == UpdateOutcome::CopyNotSaved && !interrupted) {
        if (console.interactive()) {
            if (console.confirm(verdict->outcome().status +
                                QStringLiteral(" Update without a copy? [y/N]")))
                interrupted = run->exec(image, components, UpdaterThread::CopyMode::Declined);
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

// Reads the flash and changes nothing: no question, no copy, no record, no held signals.
int FlashCommand::verify()
{
    // Pages that an update which did not finish left behind may lie outside this image.
    const bool unfinished = UpdateRecord::exists();
    if (unfinished)
        console.warn(UpdateRecord::load().warning());
    FlashVerifier verifier;
    const FlashVerifier::Result result = verifier.verify(invocation.path);
    if (!verifier.problem().isEmpty())
        console.fail(verifier.problem());
    showComparisons(verifier);
    const int first = verifier.firstDiffering();
    const char *outcome = result == FlashVerifier::Matches   ? "matches"
                          : result == FlashVerifier::Differs ? "differs"
                                                             : "unchanged";
    console.report(
        verifier.text(), QStringLiteral("verdict"),
        {{QStringLiteral("outcome"), QLatin1String(outcome)},
         {QStringLiteral("text"), verifier.text()},
         {QStringLiteral("component"),
          first < 0 ? QJsonValue() : componentName(verifier.comparisons().at(first).component)},
         {QStringLiteral("differing"), verifier.differing()},
         {QStringLiteral("unfinished"), unfinished}});
    const int statuses[] = {Success, FlashDiffers, Refused, NoDriver, FlashBusy};
    return statuses[result];
}

// Whether the flash holds the image already, which ends the update with that verdict. After
// an update that did not finish the answer is no: only an update that ends in "Done" takes its
// pages off the record. When the flash cannot be compared, the update says why.
bool FlashCommand::alreadyHeld()
{
    if (UpdateRecord::exists())
        return false;
    FlashVerifier verifier;
    const FlashVerifier::Result result = verifier.verify(invocation.path);
    if (result != FlashVerifier::Matches && result != FlashVerifier::Differs)
        return false;
    showComparisons(verifier);
    if (result == FlashVerifier::Differs)
        return false;
    const QString text = QStringLiteral("The flash already holds this image.");
    console.report(text, QStringLiteral("verdict"),
                   {{QStringLiteral("outcome"), QStringLiteral("unchanged")},
                    {QStringLiteral("text"), text},
                    {QStringLiteral("component"), QJsonValue()},
                    {QStringLiteral("copy"), QJsonValue()}});
    return true;
}

void FlashCommand::showComparisons(const FlashVerifier &verifier)
{
    for (const FlashVerifier::Comparison &c : verifier.comparisons()) {
        const QString name = printable(componentName(c.component));
        const QString address = addressText(c.component.flashAddress);
        const bool matches = c.firstDifference < 0;
        const QString difference = matches ? QString() : addressText(u_int32_t(c.firstDifference));
        console.report(
            matches ? QStringLiteral("Component %1 at %2 matches the image.").arg(name, address)
                    : QStringLiteral("Component %1 at %2 differs from the image at %3.")
                          .arg(name, address, difference),
            QStringLiteral("match"),
            {{QStringLiteral("name"), name},
             {QStringLiteral("address"), address},
             {QStringLiteral("matches"), matches},
             {QStringLiteral("firstDifference"), textOrNull(difference)}});
    }
}
