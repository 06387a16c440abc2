#pragma once

#include "ComponentRecord.h"

#include <QList>

class QFile;
class QString;

// Walks the chain of component blocks in the named image and appends one record per block.
// Returns 0 after the last block; -1 when the file cannot be opened (nothing appended), when
// the chain leaves the file, or after 256 records of a chain that goes on, in which case the
// records read before stay appended.
int readImageComponents(const QString &filename, QList<ComponentRecord> &components);

// The same walk on an image that is already open, so that a caller can take the list and the
// data from one descriptor, whatever happens to the file's name meanwhile. With -1, problem
// says why, in a few words ("the chain of blocks leaves the file").
int readImageComponents(QFile &file, QList<ComponentRecord> &components, QString *problem);

// Opens an image for reading. Only a regular file is an image: a FIFO or a device would block
// the open or the reads, so they are refused like a file that does not exist. When it cannot be
// opened, problem says why ("it is a folder").
bool openImageFile(QFile &file, const QString &filename, QString *problem);

// A component's name as text: its name bytes up to the first zero byte, decoded as UTF-8.
QString componentName(const ComponentRecord &record);

// A component's version word as text: most significant byte first, and the two lowest bytes run
// together, so 0x01020304 reads 1.2.34.
QString componentVersionText(u_int32_t version);
