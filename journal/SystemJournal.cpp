#include "SystemJournal.h"

#include <QStringList>

#include <sys/uio.h>
// The message's fields are its own; the place in this file would only be noise.
#define SD_JOURNAL_SUPPRESS_LOCATION
#include <systemd/sd-journal.h>

#include <vector>

namespace {

// Fixed once for this tool: tools and administrators select by them.
const struct
{
    const char *event;
    const char *id;
} messageIds[] = {{"started", "07a1fa022c724f838c16250c2f223ea5"},
                  {"written", "de0bb47007ef4282924a9072282fd039"},
                  {"failed", "5a7da05c1f96499b8a3cef45ca9ce9c5"},
                  {"unchanged", "63b1c29e39d04e7ab5f57ec017fb8ddb"},
                  {"matches", "dcae2154fb5f4c4099abdbc0af1cc0e6"},
                  {"differs", "8333b43dc67e477083307fad818a85ff"}};

// syslog's levels: an error for a failure, a notice for a change, information otherwise.
char priority(const QString &event)
{
    if (event == QLatin1String("failed"))
        return '3';
    if (event == QLatin1String("written") || event == QLatin1String("differs"))
        return '5';
    return '6';
}

} // namespace

QByteArray SystemJournal::messageId(const QString &event)
{
    for (const auto &known : messageIds) {
        if (event == QLatin1String(known.event))
            return known.id;
    }
    return QByteArray();
}

QByteArrayList SystemJournal::fields(const FlashHistory::Entry &entry)
{
    const QString event = entry.unfinished() ? QStringLiteral("started") : entry.outcome;
    // In English whatever the user's language: the system's journal is read by administrators
    // and searched by tools.
    const QString message = entry.unfinished()
                                ? QStringLiteral("%1 of %2 by %3 (uid %4) from %5 started")
                                      .arg(entry.kind, entry.image, entry.user)
                                      .arg(entry.uid)
                                      .arg(entry.frontEnd)
                                : QStringLiteral("%1 of %2 by %3 (uid %4) from %5: %6. %7")
                                      .arg(entry.kind, entry.image, entry.user)
                                      .arg(entry.uid)
                                      .arg(entry.frontEnd, entry.outcome, entry.verdict);
    QStringList components;
    for (const FlashHistory::Component &c : entry.components)
        components << QStringLiteral("%1 %2 0x%3 %4")
                          .arg(c.name, c.version, QString::number(c.address, 16))
                          .arg(c.size);
    QByteArrayList list{"MESSAGE=" + message.toUtf8(),
                        "SYSLOG_IDENTIFIER=vorlan-update",
                        "MESSAGE_ID=" + messageId(event),
                        QByteArray("PRIORITY=") + priority(event),
                        "VORLAN_HISTORY_ID=" + entry.id.toUtf8(),
                        "VORLAN_KIND=" + entry.kind.toUtf8(),
                        "VORLAN_OUTCOME=" + entry.outcome.toUtf8(),
                        "VORLAN_IMAGE=" + entry.image.toUtf8(),
                        "VORLAN_SHA256=" + entry.sha256.toUtf8(),
                        "VORLAN_SIGNATURE=" + entry.signature.toUtf8(),
                        "VORLAN_USER=" + entry.user.toUtf8(),
                        "VORLAN_UID=" + QByteArray::number(entry.uid),
                        "VORLAN_FRONT_END=" + entry.frontEnd.toUtf8(),
                        "VORLAN_COMPONENTS=" + components.join(QStringLiteral(", ")).toUtf8()};
    if (!entry.signer.isEmpty())
        list << "VORLAN_SIGNER=" + entry.signer.toUtf8();
    if (!entry.fingerprint.isEmpty())
        list << "VORLAN_FINGERPRINT=" + entry.fingerprint.toUtf8();
    if (!entry.copy.isEmpty())
        list << "VORLAN_COPY=" + entry.copy.toUtf8();
    return list;
}

void SystemJournal::send(const FlashHistory::Entry &entry)
{
    const QByteArrayList list = fields(entry);
    std::vector<iovec> vectors;
    for (const QByteArray &field : list)
        vectors.push_back({const_cast<char *>(field.constData()), size_t(field.size())});
    // Without a journal the call fails, and nothing else is to be done about it.
    sd_journal_sendv(vectors.data(), int(vectors.size()));
}
