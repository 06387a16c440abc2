#pragma once

#include <QObject>
#include <QString>

#include <sys/types.h>

#include <functional>

class QFile;
struct ComponentRecord;

// The worker that programs an update image into the flash. It runs process() in its own thread
// and reports only through its four signals; it never touches a widget.
class UpdaterThread : public QObject
{
    Q_OBJECT

public:
    explicit UpdaterThread(QObject *parent = nullptr);
    ~UpdaterThread() override;

    void setFilename(const QString &filename);

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
    void finished();
    void updateCurrentProgress(int progress);
    void updateTotalProgress(int progress);
    void updateStatusText(QString text);

public slots:
    void process();

private:
    QString imageProblem(int readResult, const QList<ComponentRecord> &components) const;
    static QString sharedPage(const QList<ComponentRecord> &components);
    QString readErrorText() const;
    bool updateComponents(int fd, QFile &image, const QList<ComponentRecord> &components);
    void transferBlocks(int fd, u_int32_t address, u_int32_t length, int stage,
                        const QString &announcement,
                        const std::function<bool(u_int32_t offset, u_int32_t count)> &transfer);
    void repairPage(int fd, const char *fileBuffer, u_int32_t address, u_int32_t offset);
    bool allocated(const void *buffer);
    bool readImage(QFile &image, u_int32_t fileOffset, u_int32_t length, char *buffer);

    QString filename;
    float componentShare;
    float completedShare;
};
