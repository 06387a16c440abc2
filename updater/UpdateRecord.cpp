#include "UpdateRecord.h"

#include "ImageReader.h"
#include "StateFolder.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {

QString recordPath()
{
    return stateFolder() + QStringLiteral("/unfinished-update.json");
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
    const QJsonObject record{{"image", image},
                             {"started", started.toString(Qt::ISODate)},
                             {"components", list},
                             {"copy", copy}};
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
    return record;
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
