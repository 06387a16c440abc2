#include "TimeDisplay.h"

#include <QDateTime>

QString durationText(quint32 seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC).toString(QStringLiteral("hh:mm:ss"));
}

QString remainingTimeText(qint64 elapsedSeconds, qint64 elapsedMs, int progress)
{
    if (progress <= 0)
        return QStringLiteral(" - ");
    const qint64 estimatedSeconds = elapsedMs / (10 * qint64(progress));
    return durationText(quint32(estimatedSeconds) - quint32(elapsedSeconds));
}
