// libFuzzer target for the update image reader: any file at all must be read to an end, without
// a crash, a hang or an allocation beyond what the file's size allows.

#include "ImageReader.h"

#include <QFile>
#include <QString>

#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString path =
        QStringLiteral("/tmp/vorlan-fuzz-%1.tarnru").arg(QString::number(getpid()));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(reinterpret_cast<const char *>(data), qint64(size));
    file.close();

    QList<ComponentRecord> records;
    const int result = readImageComponents(path, records);
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
