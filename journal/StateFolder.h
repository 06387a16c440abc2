#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QStringList>

// Where the tool keeps what must outlive a run and a restart: $XDG_STATE_HOME/vorlan-update, by
// default ~/.local/state/vorlan-update, with the copies of the flash in its folder "copies".
// The copies may hold the system's keys and passwords, and the record decides what the tool
// writes back into the flash: both folders are the user's alone (0700, their files 0600), and a
// folder that anyone else could change is refused, as OpenSSH refuses such a ~/.ssh. Files are
// opened relative to the folder's descriptor and never through a symbolic link.
class StateFolder
{
    Q_DECLARE_TR_FUNCTIONS(StateFolder)

public:
    enum Place
    {
        Top,
        Copies
    };

    // Opens both folders, making those that are missing, and checks them and their parents
    // below the user's home (or below $XDG_STATE_HOME when that lies elsewhere).
    StateFolder();
    ~StateFolder();
    StateFolder(const StateFolder &) = delete;
    StateFolder &operator=(const StateFolder &) = delete;

    bool usable() const { return trouble.isEmpty(); }
    // Why the folder cannot be used, naming it: "The state folder cannot be used: ...".
    QString problem() const { return trouble; }
    QString path(Place place = Top) const;
    int descriptor(Place place) const { return fds[place]; }

    // Opens a file of the folder for reading, never through a symbolic link: its descriptor,
    // which the caller closes, and its size. -1 with errno ENOENT when it is missing, ELOOP when
    // it is a link, EINVAL when it is not a regular file, or the system's reason.
    int openFile(Place place, const QString &name, qint64 *size) const;

    enum class Read
    {
        Done,
        Missing,
        Refused // a link, not a regular file, larger than the limit, or unreadable
    };
    // Reads the whole file, at most limit bytes; reason says why it was refused.
    Read read(Place place, const QString &name, qint64 limit, QByteArray *content,
              QString *reason) const;
    bool exists(Place place, const QString &name) const;
    // Removes the file and syncs the folder; a file that is not there counts as removed.
    bool remove(Place place, const QString &name) const;
    // The names of the regular files in the folder.
    QStringList names(Place place) const;
    // Makes a renamed or removed entry of the folder survive a crash.
    bool sync(Place place) const;

private:
    int fds[2] = {-1, -1};
    QString paths[2];
    QString trouble;
};
