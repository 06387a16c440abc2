// libFuzzer target for the record of the pages at risk: any content at all must be read to an
// end within the file's limits, and what is accepted must name only pages on page boundaries
// within the 32-bit flash space, and only copies that it lists by plain names.

#include "FlashCopies.h"
#include "FlashJournal.h"
#include "VorlanDriver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (qint64(size) > FlashJournal::sizeLimit)
        return 0;
    const FlashJournal journal = FlashJournal::parse(
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size)));
    if (journal.damaged())
        return 0;
    if (journal.pages.size() > 0x8000)
        __builtin_trap();
    for (auto it = journal.pages.constBegin(); it != journal.pages.constEnd(); ++it) {
        if (it.key() % flashPageSize != 0 || it.value() < -1 || it.value() >= journal.copies.size())
            __builtin_trap();
    }
    for (const FlashJournal::Copy &copy : journal.copies) {
        if (!FlashCopies::isCopyName(copy.file) || copy.file.contains(QLatin1Char('/')))
            __builtin_trap();
    }
    journal.warning(QStringLiteral("copies"));
    journal.withoutCopyText();
    return 0;
}
