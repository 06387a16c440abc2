#pragma once

#include "Sha256.h"
#include "StateFolder.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

// A file of the state folder that is there whole or not at all, even after a crash or a power
// loss: written to a new temporary file (0660) in the same folder, every write checked, synced,
// renamed over the name and the folder synced. A name that is a symbolic link is refused, and
// what it points to is never touched. Every step's result is checked, because a buffered
// write that fails when it is flushed (a full disk) would otherwise leave a short file that
// counts as saved. Until commit() the name keeps what it held; a file that is not committed
// is removed.
class AtomicFile
{
    Q_DECLARE_TR_FUNCTIONS(AtomicFile)

public:
    AtomicFile(const StateFolder &folder, StateFolder::Place place, const QString &name);
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    bool open();
    bool write(const QByteArray &bytes);
    bool commit();
    // Why the last step failed, in the system's words ("No space left on device").
    QString errorString() const { return error; }
    // Of every byte written.
    QByteArray sha256() const { return hash.result(); }
    qint64 size() const { return written; }

private:
    bool fail(const QString &reason);

    const StateFolder &folder;
    StateFolder::Place place;
    QString name;
    QByteArray temporary;
    int fd = -1;
    qint64 written = 0;
    Sha256 hash;
    QString error;
};
