#pragma once

#include <QString>

// Where the tool keeps what must outlive a run and a restart: $XDG_STATE_HOME/vorlan-update,
// by default ~/.local/state/vorlan-update. A user may write there without extra rights.
QString stateFolder();

// Makes a renamed or removed entry of the folder survive a crash.
bool syncFolder(const QString &folder);
