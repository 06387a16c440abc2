// libFuzzer target for the update image reader: any file at all must be read to an end, without
// a crash, a hang or an allocation beyond what the file's size allows.

#include "ImageReader.h"

#include <QTemporaryFile>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryFile file; // one for the whole run, in the temporary folder
    if ((!file.isOpen() && !file.open()) || !file.resize(0) || !file.seek(0) ||
        file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size) ||
        !file.flush())
        return 0;

    QList<ComponentRecord> records;
    const int result = readImageComponents(file.fileName(), records);
    if (records.size() > qMax<qint64>(0, qint64(size) - 31))
        __builtin_trap();
    for (const ComponentRecord &record : records) {
        if (qint64(record.fileOffset) + 32 > qint64(size))
            __builtin_trap();
    }
    if (result == 0 && qint64(records.last().fileOffset) + records.last().size != qint64(size))
        __builtin_trap();
    return 0;
}
