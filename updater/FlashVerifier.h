#pragma once

#include "ComponentRecord.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QHash>
#include <QList>
#include <QString>

class FlashNode;
class QFile;

// Compares the flash with an update image and changes nothing. The flash node is opened
// read-only and never unlocked, erased or written, and nothing is saved; it is locked as an
// update locks it, so that a flash half-way through another program's update is never read.
// The image is checked as an update checks it, and its component list and data come from one
// descriptor.
class FlashVerifier
{
    Q_DECLARE_TR_FUNCTIONS(FlashVerifier)

public:
    enum Result
    {
        Matches,  // every component's data is in the flash
        Differs,  // at least one component's is not
        Refused,  // the image cannot be used: nothing was compared
        NoDevice, // the flash node cannot be opened
        Busy      // another program holds the flash node
    };

    struct Comparison
    {
        ComponentRecord component;
        // The flash address of the first byte that differs from the image, or -1 when none
        // does. A byte that cannot be read counts as differing.
        qint64 firstDifference;
    };

    // The image must have the SHA-256 given, in hexadecimal, when one is.
    Result verify(const QString &filename, const QByteArray &sha256 = QByteArray());

    // Why nothing was compared, or empty.
    const QString &problem() const { return why; }
    // One per component in the image's order, once the comparison was made.
    const QList<Comparison> &comparisons() const { return compared; }
    int differing() const;
    // The index of the first component that differs, or -1.
    int firstDiffering() const;
    // The verdict, as one line.
    QString text() const;

private:
    Result end(Result result, const QString &problem);
    QString checkImage(QFile &image, const QString &filename, QList<ComponentRecord> &components);
    enum class Read
    {
        Checked, // the image gave the checked bytes, or the flash differs before their end
        Short,   // the image did not deliver the component's data
        Changed  // the image no longer holds the checked bytes
    };
    Read compare(FlashNode &node, QFile &image, Comparison &comparison);

    QByteArray expectedSha256;
    QHash<u_int32_t, QByteArray> checkedHashes; // each component's SHA-256, by file offset
    Result outcome = Refused;
    QString why;
    QList<Comparison> compared;
};
