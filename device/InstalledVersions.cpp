#include "InstalledVersions.h"

#include "VorlanDriver.h"

#include <QDebug>
#include <QString>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// Lowest byte first, and the two highest bytes run together: 0x04030201 reads 1.2.34.
QString dottedVersionText(u_int32_t word)
{
    return QString::number(word & 0xFF) + QLatin1Char('.') + QString::number((word >> 8) & 0xFF) +
           QLatin1Char('.') + QString::number((word >> 16) & 0xFF) +
           QString::number((word >> 24) & 0xFF);
}

// Sends one mailbox request; on success the answer word is left in answer.
int askMailbox(int fd, u_int32_t code, MailboxRequest &request, u_int32_t &answer)
{
    request = MailboxRequest{code, {}};
    const int result = ioctl(fd, IOCTL_MAILBOX, &request);
    answer = request.data[0];
    return result;
}

int queryVersionWords(int fd, InstalledVersionWords &words)
{
    MailboxRequest request;
    int result = askMailbox(fd, mailboxSoftwareVersion, request, words.software);
    if (result < 0)
        return result;
    if ((request.code & 0xF) == 0xF) {
        // A system that answers with status 0xF reports no versions; these stand in for them.
        words = InstalledVersionWords{0x00090000, 0x53D73F73, 0x00090000};
        return 0;
    }
    result = askMailbox(fd, mailboxHardwareTimestamp, request, words.hwTimestamp);
    if (result < 0)
        return result;
    return askMailbox(fd, mailboxPidVersion, request, words.pid);
}

} // namespace

int readInstalledVersionWords(InstalledVersionWords *words)
{
    const int fd = open(mailboxNodePath, O_RDWR);
    if (fd < 0) {
        qDebug() << "Could not open file";
        return -1;
    }
    InstalledVersionWords answers;
    const int result = queryVersionWords(fd, answers);
    close(fd);
    if (result == 0)
        *words = answers;
    return result;
}

int readInstalledVersions(QString *hwTimestamp, QString *swVersion, QString *pidVersion)
{
    InstalledVersionWords words;
    const int result = readInstalledVersionWords(&words);
    if (result < 0)
        return result;

    if (hwTimestamp)
        *hwTimestamp = QString::number(words.hwTimestamp);
    if (swVersion)
        *swVersion = dottedVersionText(words.software);
    if (pidVersion)
        *pidVersion = dottedVersionText(words.pid);
    return 0;
}
