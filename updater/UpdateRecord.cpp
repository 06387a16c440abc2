#include "UpdateRecord.h"

#include "ImageReader.h"
#include "StateFolder.h"
#include "VorlanDriver.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>

namespace {

QString recordPath()
{
    return stateFolder() + QStringLiteral("/unfinished-update.json");
}

QList<u_int32_t> inOrder(QList<u_int32_t> pages)
{
    std::sort(pages.begin(), pages.end());
    pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
    return pages;
}

QList<u_int32_t> pagesOf(const QList<ComponentRecord> &components)
{
    QList<u_int32_t> pages;
    for (const ComponentRecord &c : components) {
        for (quint64 at = c.flashAddress / flashPageSize * flashPageSize;
             at < quint64(c.flashAddress) + c.dataLength(); at += flashPageSize)
            pages.append(u_int32_t(at));
    }
    return inOrder(pages);
}

} // namespace

bool UpdateRecord::save() const
{
    QJsonArray list;
    for (const ComponentRecord &c : components) {
        list.append(QJsonObject{{"name", componentName(c)},
                                {"version", double(c.version)},
                                {"flashAddress", double(c.flashAddress)},
                                {"size", double(c.size)}});
    }
    QJsonArray pageList;
    for (const u_int32_t page : pages)
        pageList.append(double(page));
    const QJsonObject record{{"image", image},
                             {"started", started.toString(Qt::ISODate)},
                             {"components", list},
                             {"copy", copy},
                             {"pages", pageList}};
    if (!QDir().mkpath(stateFolder()))
        return false;
    QSaveFile file(recordPath());
    return file.open(QIODevice::WriteOnly) && file.write(QJsonDocument(record).toJson()) >= 0 &&
           file.commit() && syncFolder(stateFolder());
}

bool UpdateRecord::exists()
{
    return QFileInfo::exists(recordPath());
}

UpdateRecord UpdateRecord::load()
{
    UpdateRecord record;
    QFile file(recordPath());
    if (!file.open(QIODevice::ReadOnly))
        return record;
    const QJsonObject json = QJsonDocument::fromJson(file.readAll()).object();
    record.image = json.value("image").toString();
    record.started = QDateTime::fromString(json.value("started").toString(), Qt::ISODate);
    record.copy = json.value("copy").toString();
    for (const QJsonValue &page : json.value("pages").toArray())
        record.pages.append(u_int32_t(page.toDouble()));
    return record;
}

UpdateRecord UpdateRecord::beginning(const QString &image, const QList<ComponentRecord> &components,
                                     const QString &copy)
{
    const UpdateRecord earlier = exists() ? load() : UpdateRecord();
    // One that cannot be read names no pages: this update's record takes its place.
    if (earlier.pages.isEmpty())
        return {QFileInfo(image).absoluteFilePath(), QDateTime::currentDateTimeUtc(), components,
                copy, pagesOf(components)};
    UpdateRecord record = earlier;
    record.pages = inOrder(pagesOf(components) + earlier.pages);
    return record;
}

bool UpdateRecord::finished(const QList<ComponentRecord> &components)
{
    UpdateRecord record = load();
    for (const u_int32_t page : pagesOf(components))
        record.pages.removeOne(page);
    if (record.pages.isEmpty()) {
        remove();
        return false;
    }
    record.save();
    return true;
}

void UpdateRecord::remove()
{
    if (QFile::remove(recordPath()))
        syncFolder(stateFolder());
}

QString UpdateRecord::describe() const
{
    const QString name = image.isEmpty() ? QStringLiteral("an unknown image") : image;
    const QString when = started.isValid()
                             ? started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                             : QStringLiteral("at an unknown time");
    return QStringLiteral("The last update (%1, started %2)").arg(name, when);
}

QString UpdateRecord::warning() const
{
    QString text = describe() + QStringLiteral(" did not finish: the flash may not hold a complete "
                                               "image. Update again before restarting the "
                                               "computer.");
    if (!copy.isEmpty())
        text += QStringLiteral(" A copy of the flash as it was before is in %1.").arg(copy);
    return text;
}

QString UpdateRecord::since() const
{
    QString text = describe();
    text[0] = text.at(0).toLower();
    return QStringLiteral("since ") + text + QStringLiteral(" did not finish");
}
