#pragma once

#include "ComponentRecord.h"

#include <QList>

class QString;

// Walks the chain of component blocks in the named image and appends one record per block.
// Returns 0 after the last block; -1 when the file cannot be opened (nothing appended) or when
// the chain leaves the file, in which case the records read before the break stay appended.
int readImageComponents(const QString &filename, QList<ComponentRecord> &components);
