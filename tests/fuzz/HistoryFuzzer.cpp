// libFuzzer target for the history of the flash: any content at all must be read to an end,
// and what is accepted must be entries with an id of their own, a known kind and outcome, a
// start, and at most an image's components, that read back as they were written.

#include "FlashHistory.h"

#include <QJsonDocument>
#include <QSet>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (qint64(size) > FlashHistory::sizeLimit)
        return 0;
    const FlashHistory::Contents contents = FlashHistory::parse(
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size)));
    QSet<QString> ids;
    for (const FlashHistory::Entry &entry : contents.entries) {
        if (entry.id.isEmpty() || ids.contains(entry.id) || !entry.started.isValid() ||
            entry.components.size() > 256)
            __builtin_trap();
        ids.insert(entry.id);
        const QByteArray line = QJsonDocument(entry.toJson()).toJson(QJsonDocument::Compact);
        const FlashHistory::Contents again = FlashHistory::parse(line);
        if (again.entries.size() != 1 || again.skipped != 0 ||
            again.entries.first().toJson() != entry.toJson())
            __builtin_trap();
        entry.kindText();
        entry.outcomeText();
        entry.startText();
    }
    return 0;
}
