#pragma once

#include "CheckedData.h"
#include "ComponentRecord.h"
#include "UpdateOutcome.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <sys/types.h>

#include <functional>
#include <optional>

class FlashNode;
class QFile;
class StateFolder;

// The worker that programs an update image into the flash. It runs process() in its own thread
// and reports only through its four signals; it never touches a widget. How the run ended is
// in outcome() when finished() is emitted.
class UpdaterThread : public QObject
{
    Q_OBJECT

public:
    // Whether the pages that the update will erase and that no copy holds yet are first saved
    // as a copy of the flash. Without one they are put at risk all the same, with no way back.
    enum class CopyMode
    {
        Skip,
        Save
    };

    // What the worker is doing, for a front end that tells it in its own words.
    enum class Stage
    {
        Starting,
        SavingCopy,
        Erasing,
        Writing,
        ReadingBack,
        Comparing
    };

    explicit UpdaterThread(QObject *parent = nullptr);
    ~UpdaterThread() override;

    void setFilename(const QString &filename);
    // The component list the user confirmed; an image that lists others by the time the update
    // starts is refused.
    void setConfirmedComponents(const QList<ComponentRecord> &components);
    void setCopyMode(CopyMode mode);
    // The SHA-256 that the image must have, in hexadecimal: the one published with it, or the
    // one shown when it was confirmed. Empty for any.
    void setExpectedSha256(const QByteArray &hex);
    // The image is the tool's own copy of the flash, trusted by its SHA-256 as the tool kept it:
    // no signature is asked for, and that SHA-256 must match.
    void setOwnCopy(const QByteArray &sha256Hex);
    const UpdateOutcome &outcome() const { return result; }
    // Read on the worker's thread, as its progress is reported.
    Stage stage() const { return currentStage; }
    int component() const { return current; } // being programmed, from 1; 0 before the first

    // Emits the current and the total progress for the given stage of the current component
    // being fraction done. Stages: 0 erase, 1 write, 2 read-back, 3 compare.
    void reportProgress(int stage, float fraction);

    // The flash operations, on a component's data: length bytes at the flash address, taken
    // from the image 32 bytes after the block's file offset. Each returns a negative value when
    // it failed.
    int unlockFlash(int fd);
    int eraseFlash(int fd, u_int32_t address, u_int32_t length);
    int writeToFlash(int fd, QFile &file, u_int32_t fileOffset, u_int32_t address,
                     u_int32_t length);
    int verifyAndRepair(int fd, QFile &file, u_int32_t fileOffset, u_int32_t address,
                        u_int32_t length);

signals:
    // The flash node is open for the update, on the worker's thread: the image's SHA-256 and
    // signature are in the outcome.
    void flashOpened();
    void finished();
    void updateCurrentProgress(int progress);
    void updateTotalProgress(int progress);
    void updateStatusText(QString text);

public slots:
    void process();

private:
    void run();
    void update(int fd, QFile &image, const QList<ComponentRecord> &components,
                const StateFolder &folder, const QByteArray &sha256);
    bool updateComponents(int fd, QFile &image, const QList<ComponentRecord> &components);
    void end(UpdateOutcome::Result outcome, const QString &status);
    bool seekFlash(FlashNode &node, u_int32_t address);
    bool transferBlocks(int fd, u_int32_t address, u_int32_t length, int stage,
                        const QString &announcement,
                        const std::function<bool(u_int32_t offset, u_int32_t count)> &transfer);
    bool repairPage(int fd, const char *fileBuffer, u_int32_t address, u_int32_t offset);
    bool allocated(const void *buffer);
    const char *checkedBytes(QFile &image, u_int32_t fileOffset, u_int32_t address,
                             u_int32_t length);

    QString filename;
    float componentShare;
    float completedShare;

    std::optional<QList<ComponentRecord>> confirmed;
    CopyMode copyMode = CopyMode::Skip;
    QByteArray expectedSha256;
    bool ownCopy = false;
    UpdateOutcome result;
    // The data of the component being programmed as it was checked: the only bytes that are
    // written, compared with the flash or used to repair it.
    CheckedData checked;
    int current = 0; // the component being programmed, from 1; 0 before the first erase
    Stage currentStage = Stage::Starting;
};
