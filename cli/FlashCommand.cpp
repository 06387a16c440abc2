#include "FlashCommand.h"

#include "ExitStatus.h"
#include "FlashCopies.h"
#include "FlashHistory.h"
#include "FlashVerifier.h"
#include "ImageChecks.h"
#include "ImageDigest.h"
#include "ImageReader.h"
#include "InstalledVersions.h"
#include "NodePermission.h"
#include "StateFolder.h"
#include "TrustPolicy.h"
#include "UpdateRun.h"
#include "UpdateVerdict.h"
#include "VisibleText.h"
#include "VorlanDriver.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QLocale>
#include <QVector>

#include <algorithm>

namespace {

QString addressText(u_int32_t address)
{
    return QStringLiteral("0x") + QString::number(address, 16);
}

QJsonValue textOrNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

} // namespace

FlashCommand::FlashCommand(const Invocation &invocation, QObject *parent)
    : QObject(parent), invocation(invocation), console(invocation.json),
      session(new UpdateSession(QStringLiteral("vorlan-flash"), this)),
      run(new UpdateRun(&console, session, this))
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
    case Invocation::History:
        return history();
    case Invocation::Restore:
        return restore();
    case Invocation::Verify:
        return verify();
    case Invocation::ClearDamaged:
        return clearDamaged();
    case Invocation::Update:
        if (invocation.ifNeeded && alreadyHeld())
            return Success;
        return update(invocation.path);
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
        console.fail(tr("The VORLAN driver cannot be reached through %1. %2")
                         .arg(QLatin1String(mailboxNodePath), nodeOpenAdvice(mailboxNodePath)));
        return NoDriver;
    }
    console.report(QStringList{tr("HW timestamp: %1").arg(hwTimestamp),
                               tr("SW version: %1").arg(swVersion),
                               tr("PID version: %1").arg(pidVersion)},
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
    const StateFolder folder;
    if (!folder.usable()) {
        console.fail(folder.problem());
        return Refused;
    }
    const QList<FlashCopies::Copy> copies = FlashCopies::list(folder);
    const QLocale locale;
    for (const FlashCopies::Copy &copy : copies) {
        console.report(tr("%1  %2 bytes  %3")
                           .arg(FlashCopies::timeText(copy.time),
                                locale.toString(copy.size).rightJustified(10), copy.path),
                       QStringLiteral("copy"),
                       {{QStringLiteral("path"), copy.path},
                        {QStringLiteral("time"), copy.time.toString(Qt::ISODate)},
                        {QStringLiteral("size"), double(copy.size)}});
    }
    const QString place = folder.path(StateFolder::Copies);
    console.report(copies.isEmpty() ? tr("No copy of the flash has been saved in %1.").arg(place)
                                    : QString(),
                   QStringLiteral("copies"),
                   {{QStringLiteral("folder"), place}, {QStringLiteral("count"), copies.size()}});
    return Success;
}

// Newest first, one line each for a person, every field in JSON.
int FlashCommand::history()
{
    const StateFolder folder;
    const FlashHistory::Contents contents = FlashHistory::load(folder);
    const QString path = FlashHistory::path(folder);
    if (!contents.refusal.isEmpty()) {
        console.fail(contents.refusal);
        return Refused;
    }
    if (contents.skipped > 0)
        console.warn(tr("%n line(s) of the history in %1 could not be "
                        "read: cut short by a crash, or damaged.",
                        nullptr, contents.skipped)
                         .arg(path));
    const int total = contents.entries.size();
    const int shown = invocation.count < 0 ? total : std::min(invocation.count, total);
    for (int i = total - 1; i >= total - shown; --i) {
        const FlashHistory::Entry &entry = contents.entries.at(i);
        Console::Fields fields;
        const QJsonObject object = entry.toJson();
        for (auto it = object.begin(); it != object.end(); ++it)
            fields.append({it.key(), it.value()});
        console.report(tr("%1  %2 %3  %4  by %5 (uid %6)")
                           .arg(entry.startText(), entry.kindText(), entry.outcomeText(),
                                entry.image, entry.user)
                           .arg(entry.uid),
                       QStringLiteral("entry"), fields);
    }
    console.report(total == 0 ? tr("The history in %1 is empty.").arg(path) : QString(),
                   QStringLiteral("history"),
                   {{QStringLiteral("path"), path},
                    {QStringLiteral("count"), total},
                    {QStringLiteral("skipped"), contents.skipped}});
    return Success;
}

// Without a copy named, every page at risk goes back from the copy that holds it as it was
// before it was first put at risk; a copy named is an update like any other.
int FlashCommand::restore()
{
    if (!invocation.path.isEmpty())
        return update(invocation.path);
    warnOfRecord();
    UpdateSession::Plan plan;
    QString refusal;
    if (!session->putBack(&plan, &refusal)) {
        console.fail(refusal);
        if (session->updatingElsewhere()) {
            reportUnchanged(tr("Another program is updating the flash. Do not restart the "
                               "computer before it has finished."));
            return FlashBusy;
        }
        // Nobody can tell which pages a damaged record named: the user picks the copy.
        if (session->recordDamaged())
            console.report(tr("To put back a copy that you choose: vorlan-flash restore COPY "
                              "(vorlan-flash copies lists them). Once the flash holds a complete "
                              "image: vorlan-flash clear-damaged IMAGE"),
                           QStringLiteral("hint"));
        return unchanged(session->pagesAtRisk()
                             ? tr("The flash was not changed.")
                             : tr("The flash was not changed: there is nothing that can be put "
                                  "back."));
    }
    list(plan.image, plan.components);
    return perform(plan, true);
}

int FlashCommand::update(const QString &image)
{
    warnOfRecord();
    QList<ComponentRecord> components;
    QByteArray sha256;
    const QString problem = inspect(image, &components, &sha256);
    const UpdaterThread::CopyMode copyMode =
        invocation.noCopy ? UpdaterThread::CopyMode::Skip : UpdaterThread::CopyMode::Save;
    // What was shown is what is written: the worker checks the bytes again, against this hash.
    // Nothing is asked about an image that the update refuses anyway; the worker says why.
    return perform(
        {image, components, copyMode, invocation.sha256.isEmpty() ? sha256 : invocation.sha256},
        problem.isEmpty());
}

int FlashCommand::perform(const UpdateSession::Plan &plan, bool checked)
{
    const int count = plan.components.size();
    if (checked && !confirmed(count == 1 ? tr("Update the flash with this component? [y/N]")
                                         : tr("Update the flash with these %n components? [y/N]",
                                              nullptr, count)))
        return unchanged(tr("The flash was not changed: the update was not confirmed."));
    QString refusal;
    bool interrupted = run->exec(plan, &refusal);
    if (!refusal.isEmpty()) {
        console.fail(refusal);
        return unchanged(tr("The flash was not changed: the update could not start."));
    }
    if (session->nextStep() == UpdateSession::NextStep::UpdateWithoutCopy && !interrupted) {
        if (console.interactive()) {
            if (console.confirm(tr("%1 [y/N]").arg(session->question())))
                interrupted = run->exec(session->withoutCopy(), &refusal);
        } else {
            console.fail(tr("Add --no-copy to update without a copy."));
        }
    }
    return finish(plan.components, interrupted);
}

// The last line is a verdict whichever way the command ends.
int FlashCommand::unchanged(const QString &verdict)
{
    reportUnchanged(verdict);
    return Refused;
}

void FlashCommand::reportUnchanged(const QString &text)
{
    console.report(text, QStringLiteral("verdict"),
                   {{QStringLiteral("outcome"), QStringLiteral("unchanged")},
                    {QStringLiteral("text"), text},
                    {QStringLiteral("component"), QJsonValue()},
                    {QStringLiteral("copy"), QJsonValue()}});
}

bool FlashCommand::confirmed(const QString &question)
{
    if (invocation.yes)
        return true;
    if (!console.interactive()) {
        console.fail(console.json() ? tr("With --json, add --yes: no question is asked. The "
                                         "flash was not changed.")
                                    : tr("There is no terminal to ask on: add --yes to update "
                                         "without the question. The flash was not changed."));
        return false;
    }
    return console.confirm(question);
}

int FlashCommand::finish(const QList<ComponentRecord> &components, bool interrupted)
{
    const UpdateVerdict *verdict = session->verdict();
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
    // Whether to put the flash back is for whoever ran the update to decide.
    if (failed && session->nextStep() == UpdateSession::NextStep::PutBack &&
        console.interactive() && !interrupted)
        console.report(tr("To put it back: vorlan-flash restore"), QStringLiteral("hint"));
    return verdict->commandExitStatus();
}

void FlashCommand::list(const QString &image, const QList<ComponentRecord> &components)
{
    QList<QStringList> rows{{tr("Name"), tr("Version"), tr("Address"), tr("Size"), tr("Min HW")}};
    for (const ComponentRecord &c : components) {
        rows.append({componentName(c), componentVersionText(c.version), addressText(c.flashAddress),
                     QLocale().toString(c.size), QString::number(c.minHW)});
        console.report(QString(), QStringLiteral("component"),
                       {{QStringLiteral("name"), componentName(c)},
                        {QStringLiteral("version"), rows.last().at(1)},
                        {QStringLiteral("address"), rows.last().at(2)},
                        {QStringLiteral("size"), double(c.size)},
                        {QStringLiteral("minHW"), double(c.minHW)}});
    }
    if (console.json())
        return;
    // The columns line up as the console shows them.
    for (QStringList &row : rows) {
        for (QString &cell : row)
            cell = visibleText(cell);
    }
    QVector<int> widths(rows.first().size(), 0);
    for (const QStringList &row : rows) {
        for (int i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row.at(i).size());
    }
    const int count = components.size();
    QStringList table{count == 1 ? tr("%1: 1 component").arg(image)
                                 : tr("%1: %n components", nullptr, count).arg(image)};
    for (const QStringList &row : rows) {
        QString line;
        for (int i = 0; i < row.size() - 1; ++i)
            line += QStringLiteral("  ") + row.at(i).leftJustified(widths[i]);
        table << line + QStringLiteral("  ") + row.last();
    }
    console.report(table, QString());
}

// Reads the flash and changes nothing: no question, no copy, no record, no held signals.
int FlashCommand::verify()
{
    // Pages that an update which did not finish left behind may lie outside this image.
    const bool unfinished = session->pagesAtRisk();
    warnOfRecord();
    warnAbout(TrustPolicy::load());
    FlashVerifier verifier(QStringLiteral("vorlan-flash"));
    const FlashVerifier::Result result = verifier.verify(invocation.path, invocation.sha256);
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

// Only after the flash was compared with the image and found to hold it, and only when asked.
int FlashCommand::clearDamaged()
{
    warnOfRecord();
    FlashVerifier verifier(QStringLiteral("vorlan-flash"));
    FlashVerifier::Result result = FlashVerifier::Refused;
    if (session->recordDamaged()) {
        result = verifier.verify(invocation.path, invocation.sha256);
        if (!verifier.problem().isEmpty())
            console.fail(verifier.problem());
        showComparisons(verifier);
    }
    QString text;
    if (!session->clearingQuestion(verifier, invocation.path, &text)) {
        reportUnchanged(text);
        const int statuses[] = {Refused, FlashDiffers, Refused, NoDriver, FlashBusy};
        return statuses[result];
    }
    // What clearing drops is said even where nobody can be asked.
    if (!invocation.yes && !console.interactive())
        console.warn(text);
    if (!confirmed(tr("%1 [y/N]").arg(text)))
        return unchanged(tr("The damaged record was not cleared."));
    if (!session->clearDamaged(&text)) {
        console.fail(text);
        return unchanged(tr("The damaged record was not cleared."));
    }
    console.report(
        text, QStringLiteral("verdict"),
        {{QStringLiteral("outcome"), QStringLiteral("cleared")}, {QStringLiteral("text"), text}});
    return session->pagesAtRisk() ? UpdateFailed : Success;
}

// Whether the flash holds the image already, which ends the update with that verdict. After
// an update that did not finish the answer is no: only an update that ends in "Done" takes its
// pages off the record. When the flash cannot be compared, the update says why.
bool FlashCommand::alreadyHeld()
{
    if (session->pagesAtRisk())
        return false;
    FlashVerifier verifier(QStringLiteral("vorlan-flash"));
    const FlashVerifier::Result result = verifier.verify(invocation.path, invocation.sha256);
    if (result != FlashVerifier::Matches && result != FlashVerifier::Differs)
        return false;
    showComparisons(verifier);
    if (result == FlashVerifier::Differs)
        return false;
    reportUnchanged(tr("The flash already holds this image."));
    return true;
}

// What the record of the flash says before anything is done: an update that began erasing and
// never ended in "Done" (it was killed, it crashed, or the power went), another program
// updating the flash now, a damaged record, or a state folder that cannot be used.
void FlashCommand::warnOfRecord()
{
    if (!session->notice().isEmpty())
        console.warn(session->notice());
}

void FlashCommand::showComparisons(const FlashVerifier &verifier)
{
    for (const FlashVerifier::Comparison &c : verifier.comparisons()) {
        const QString name = componentName(c.component);
        const QString address = addressText(c.component.flashAddress);
        const bool matches = c.firstDifference < 0;
        const QString difference = matches ? QString() : addressText(u_int32_t(c.firstDifference));
        console.report(matches ? tr("Component %1 at %2 matches the image.").arg(name, address)
                               : tr("Component %1 at %2 differs from the image at %3.")
                                     .arg(name, address, difference),
                       QStringLiteral("match"),
                       {{QStringLiteral("name"), name},
                        {QStringLiteral("address"), address},
                        {QStringLiteral("matches"), matches},
                        {QStringLiteral("firstDifference"), textOrNull(difference)}});
    }
}

// What keeps the signature policy from being as written: the faults of its file and the
// keyrings that are not trusted.
void FlashCommand::warnAbout(const TrustPolicy &policy)
{
    for (const QString &warning : policy.warnings() + policy.refusedKeyrings())
        console.warn(warning);
}

// Lists the image's components and shows its signature and SHA-256, all from one descriptor
// of the file, and whether an update would take it. Returns why not, or an empty string.
QString FlashCommand::inspect(const QString &image, QList<ComponentRecord> *components,
                              QByteArray *sha256)
{
    QFile file;
    QString problem = readCheckedImage(file, image, *components);
    const bool opened = file.isOpen();
    list(image, *components);
    ImageDigest digest(image, *components);
    digest.setExpectedSha256(invocation.sha256);
    if (opened && !digest.read(file) && problem.isEmpty())
        problem = digest.refusal();
    *sha256 = digest.sha256();

    const TrustPolicy &policy = digest.trustPolicy();
    warnAbout(policy);

    QStringList text;
    QJsonValue signature;
    if (opened) {
        const SignatureResult &origin = digest.signature();
        text << origin.line();
        signature = QJsonObject{{QStringLiteral("status"), origin.statusName()},
                                {QStringLiteral("signer"), textOrNull(origin.signer)},
                                {QStringLiteral("fingerprint"), textOrNull(origin.fingerprint)}};
    }
    if (!sha256->isEmpty())
        text << QStringLiteral("SHA-256: %1").arg(QString::fromLatin1(*sha256));
    text << (problem.isEmpty() ? tr("An update would take this image.")
                               : tr("An update would refuse this image: %1").arg(problem));
    if (opened)
        text << policy.description();
    console.report(
        text, QStringLiteral("image"),
        {{QStringLiteral("path"), image},
         {QStringLiteral("accepted"), problem.isEmpty()},
         {QStringLiteral("problem"), textOrNull(problem)},
         {QStringLiteral("signature"), signature},
         {QStringLiteral("sha256"), textOrNull(QString::fromLatin1(*sha256))},
         {QStringLiteral("policy"),
          QJsonObject{{QStringLiteral("required"), policy.setting()},
                      {QStringLiteral("file"), TrustPolicy::configFile()},
                      {QStringLiteral("warnings"), QJsonArray::fromStringList(policy.warnings())},
                      {QStringLiteral("refusedKeyrings"),
                       QJsonArray::fromStringList(policy.refusedKeyrings())}}}});
    return problem;
}
