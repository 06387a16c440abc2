#include "ImageChecks.h"

#include <QCoreApplication>

#include "ImageReader.h"

#include "VorlanDriver.h"

#include <algorithm>
#include <functional>
#include <vector>

namespace {

QString address(const ComponentRecord &c)
{
    return QString::number(c.flashAddress, 16);
}

// Each component's erase would wipe whatever an earlier one wrote into a page they share, and
// the update would end in "Done" over a flash that does not hold the image.
QString sharedPage(const QList<ComponentRecord> &components)
{
    struct PageSpan
    {
        u_int32_t first;
        u_int32_t last;
        u_int32_t address;
    };
    std::vector<PageSpan> spans;
    for (const ComponentRecord &c : components) {
        if (c.dataLength() > 0)
            spans.push_back(
                {c.flashAddress / flashPageSize,
                 u_int32_t((quint64(c.flashAddress) + c.dataLength() - 1) / flashPageSize),
                 c.flashAddress});
    }
    std::sort(spans.begin(), spans.end(),
              [](const PageSpan &a, const PageSpan &b) { return a.first < b.first; });
    for (size_t i = 1; i < spans.size(); ++i) {
        if (spans[i].first <= spans[i - 1].last)
            return QCoreApplication::translate("ImageChecks",
                                               "Components at 0x%1 and 0x%2 share a flash page.")
                .arg(QString::number(spans[i - 1].address, 16),
                     QString::number(spans[i].address, 16));
    }
    return QString();
}

} // namespace

QString readCheckedImage(QFile &file, const QString &filename, QList<ComponentRecord> &components)
{
    QString readProblem;
    const int readResult = openImageFile(file, filename, &readProblem)
                               ? readImageComponents(file, components, &readProblem)
                               : -1;
    return imageProblem(filename, readResult, readProblem, components);
}

QList<u_int32_t> pagesOf(const QList<ComponentRecord> &components)
{
    QList<u_int32_t> pages;
    for (const ComponentRecord &c : components) {
        for (quint64 at = c.flashAddress / flashPageSize * flashPageSize;
             at < quint64(c.flashAddress) + c.dataLength(); at += flashPageSize)
            pages.append(u_int32_t(at));
    }
    std::sort(pages.begin(), pages.end());
    pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
    return pages;
}

QString imageReadError(const QString &filename, const QString &reason)
{
    return QCoreApplication::translate("ImageChecks", "Error reading update image %1: %2")
        .arg(filename, reason);
}

// Each kind of problem is looked for in every component before the next kind.
QString imageProblem(const QString &filename, int readResult, const QString &readProblem,
                     const QList<ComponentRecord> &components)
{
    if (readResult < 0 || components.isEmpty())
        return imageReadError(filename, readProblem);
    // A block shorter than its own header is no component at all.
    const auto broken = [](const ComponentRecord &c) { return c.size < ImageFormat::headerSize; };
    if (std::any_of(components.begin(), components.end(), broken))
        return imageReadError(
            filename,
            QCoreApplication::translate("ImageChecks", "a block is shorter than its %1-byte header")
                .arg(ImageFormat::headerSize));

    const std::function<QString(const ComponentRecord &)> checks[] = {
        [](const ComponentRecord &c) {
            return c.dataLength() > largestComponentData
                       ? QCoreApplication::translate("ImageChecks",
                                                     "Component at 0x%1 is too large.")
                             .arg(address(c))
                       : QString();
        },
        [](const ComponentRecord &c) {
            return quint64(c.flashAddress) + c.dataLength() > 0x100000000ull
                       ? QCoreApplication::translate("ImageChecks",
                                                     "Component at 0x%1 runs past the end of the "
                                                     "flash address space.")
                             .arg(address(c))
                       : QString();
        },
        // The driver erases whole pages; what it does with an address inside one is undefined.
        [](const ComponentRecord &c) {
            return c.dataLength() > 0 && c.flashAddress % flashPageSize != 0
                       ? QCoreApplication::translate("ImageChecks",
                                                     "Component at 0x%1 does not start on a "
                                                     "flash page.")
                             .arg(address(c))
                       : QString();
        },
    };
    for (const auto &check : checks) {
        for (const ComponentRecord &component : components) {
            const QString problem = check(component);
            if (!problem.isEmpty())
                return problem;
        }
    }
    return sharedPage(components);
}
