#include "UpdateProgress.h"

ProgressValues progressValues(int stage, float fraction, float componentShare, float completedShare)
{
    float stageBase = 0.0f;
    for (int i = 0; i < stage; ++i)
        stageBase += stageWeights[i];
    const float total =
        ((stageBase + fraction * stageWeights[stage]) * componentShare + completedShare) * 100.0f;
    return {int(100.0f * fraction), int(total)};
}

QVector<float> componentShares(const QList<ComponentRecord> &components)
{
    quint64 totalLength = 0;
    for (const ComponentRecord &component : components)
        totalLength += component.dataLength();
    QVector<float> shares;
    shares.reserve(components.size());
    for (const ComponentRecord &component : components)
        shares.append(totalLength ? float(component.dataLength()) / float(totalLength)
                                  : 1.0f / float(components.size()));
    return shares;
}
