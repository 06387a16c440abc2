#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <sys/types.h>

// Where the tool keeps what must outlive a run and a restart, one for the flash of the machine:
// /var/lib/vorlan-update (or the folder that VORLAN_UPDATE_STATEDIR names, for tests and the
// demo), with the copies of the flash in its folder "copies". The copies may hold the system's
// keys and passwords, and the record decides what the tool writes back into the flash: whoever
// may write the flash node may use the folder, and nobody else. The folders belong to root or
// to the user the tool runs as; a folder open to its group is open to the flash node's group
// only (whose members can write the flash itself); nothing in it is open to others. Files are
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

    // Opens both folders and checks them and their parents. As root it makes a missing folder,
    // 2770 and of the flash node's group; others are told how to make it.
    StateFolder();
    ~StateFolder();
    StateFolder(const StateFolder &) = delete;
    StateFolder &operator=(const StateFolder &) = delete;

    // /var/lib/vorlan-update, or VORLAN_UPDATE_STATEDIR when that is an absolute path.
    static QString location();

    bool usable() const { return trouble.isEmpty(); }
    // Why the folder cannot be used, naming it: "The state folder cannot be used: ...".
    QString problem() const { return trouble; }
    QString path(Place place = Top) const;
    int descriptor(Place place) const { return fds[place]; }

    // Opens a file of the folder for reading, never through a symbolic link: its descriptor,
    // which the caller closes, and its size. -1 with errno ENOENT when it is missing, ELOOP when
    // it is a link, EINVAL when it is not a regular file, EPERM when someone the folder does not
    // trust could have changed it, or the system's reason.
    int openFile(Place place, const QString &name, qint64 *size) const;
    // What errno after openFile() says of the file, naming it: "... is a symbolic link".
    QString openProblem(Place place, const QString &name, int error) const;

    enum class Read
    {
        Done,
        Missing,
        Refused // a link, not a regular file, not trusted, larger than the limit, or unreadable
    };
    // Reads the whole file, at most limit bytes; reason says why it was refused.
    Read read(Place place, const QString &name, qint64 limit, QByteArray *content,
              QString *reason) const;
    bool exists(Place place, const QString &name) const;
    // Removes the file and syncs the folder; a file that is not there counts as removed.
    bool remove(Place place, const QString &name) const;
    // Renames a file within the folder and syncs it.
    bool rename(Place place, const QString &from, const QString &to) const;
    // The names of the regular files in the folder.
    QStringList names(Place place) const;
    // Makes a renamed or removed entry of the folder survive a crash.
    bool sync(Place place) const;
    // Removes the temporary files that a run killed while it saved a file left behind. Only
    // under the flash's lock, where no other run is saving one.
    void removeLeftovers() const;

private:
    int openOwn(int parent, Place place, const QByteArray &name, gid_t nodeGroup,
                QString *problem) const;

    int fds[2] = {-1, -1};
    QString paths[2];
    QString trouble;
    gid_t trustedGroup = gid_t(-1); // the flash node's group, when the folder is open to it
};
