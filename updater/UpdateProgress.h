#pragma once

#include "ComponentRecord.h"

#include <QList>
#include <QVector>

// The two percentages that the window shows for one progress report.
struct ProgressValues
{
    int current;
    int total;
};

// Each stage's part of a component's share of the whole update: erase, write, read-back,
// compare. They add up to exactly 1 in single precision.
constexpr float stageWeights[] = {0.05f, 0.88f, 0.04f, 0.03f};

// The current stage being fraction done, for the component whose share of the whole update is
// componentShare, after components of completedShare: both truncated, in single precision.
ProgressValues progressValues(int stage, float fraction, float componentShare,
                              float completedShare);

// Each component's share of the whole update, by the length of its data; equal shares when no
// component has data.
QVector<float> componentShares(const QList<ComponentRecord> &components);
