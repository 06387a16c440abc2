#pragma once

#include "FlashHistory.h"

#include <QByteArrayList>

// The system's journal as it hears of every change to the flash: one structured message per
// history line, "SYSLOG_IDENTIFIER=vorlan-update" with a MESSAGE_ID that is fixed for each kind
// of event (started, written, failed, unchanged, matches, differs), so that
// "journalctl MESSAGE_ID=..." shows for example just the failures, and the fields VORLAN_IMAGE,
// VORLAN_SHA256, VORLAN_OUTCOME, VORLAN_USER and the others. Where no journal runs, the
// message is dropped.
class SystemJournal
{
public:
    // The MESSAGE_ID of an outcome, or of "started" for an update that has just opened the flash.
    static QByteArray messageId(const QString &event);
    // Every field of the entry's message, "NAME=value".
    static QByteArrayList fields(const FlashHistory::Entry &entry);
    static void send(const FlashHistory::Entry &entry);
};
