#pragma once

#include <QString>

// A duration in whole seconds as "hh:mm:ss", taken modulo 24 hours, independent of the time zone.
QString durationText(quint32 seconds);

// The remaining time of a run that is progress percent done: the linear estimate of the whole
// run (from elapsedMs) minus the elapsedSeconds already shown; " - " while nothing is done.
QString remainingTimeText(qint64 elapsedSeconds, qint64 elapsedMs, int progress);
