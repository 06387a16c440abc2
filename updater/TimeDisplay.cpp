#include "TimeDisplay.h"

namespace {

void putTwoDigits(QChar *at, quint32 value)
{
    at[0] = QLatin1Char(char('0' + value / 10));
    at[1] = QLatin1Char(char('0' + value % 10));
}

} // namespace

// The UTC time of day of the moment that many seconds after the epoch. Worked out by hand, not
// through QDateTime: the window shows it after every progress report of a running update.
QString durationText(quint32 seconds)
{
    const quint32 timeOfDay = seconds % 86400;
    QString text(8, QLatin1Char(':'));
    putTwoDigits(text.data(), timeOfDay / 3600);
    putTwoDigits(text.data() + 3, timeOfDay / 60 % 60);
    putTwoDigits(text.data() + 6, timeOfDay % 60);
    return text;
}

QString remainingTimeText(qint64 elapsedSeconds, qint64 elapsedMs, int progress)
{
    if (progress <= 0)
        return QStringLiteral(" - ");
    const qint64 estimatedSeconds = elapsedMs / (10 * qint64(progress));
    return durationText(quint32(estimatedSeconds) - quint32(elapsedSeconds));
}
