// vorlan-mkimage: packs component files into a VORLAN update image.

#include "ImageWriter.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <cstdio>

namespace {

// NAME:VERSION:ADDRESS:MINHW:FILE; the file path may itself contain colons.
bool parseComponent(const QString &argument, ImageComponent *component, QString *error)
{
    const QStringList fields = argument.split(QLatin1Char(':'));
    if (fields.size() < 5) {
        *error = QStringLiteral("\"%1\" is not NAME:VERSION:ADDRESS:MINHW:FILE.").arg(argument);
        return false;
    }
    bool addressOk = false;
    bool minHWOk = false;
    component->name = fields.at(0);
    component->flashAddress = fields.at(2).toUInt(&addressOk, 0);
    component->minHW = fields.at(3).toUInt(&minHWOk, 0);
    if (!parseVersion(fields.at(1), &component->version) || !addressOk || !minHWOk) {
        *error = QStringLiteral("\"%1\": the version must be a.b.c.d (0 to 255 each), the "
                                "address and min HW 32-bit numbers.")
                     .arg(argument);
        return false;
    }
    const QString path = fields.mid(4).join(QLatin1Char(':'));
    QFile data(path);
    if (!data.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot read %1: %2").arg(path, data.errorString());
        return false;
    }
    component->data = data.readAll();
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Packs component files into a VORLAN update image (.tarnru).\n\n"
                       "Each COMPONENT is NAME:VERSION:ADDRESS:MINHW:FILE, for example\n"
                       "  BOOT:1.2.3.4:0x40000:2:boot.bin\n"
                       "NAME has at most four characters, VERSION is a.b.c.d, ADDRESS the flash\n"
                       "address (decimal or 0x hex; the tool takes only multiples of the\n"
                       "0x20000-byte flash page), MINHW the minimum hardware level, FILE the\n"
                       "component's data. Components are written in the order given."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("OUTPUT"), QStringLiteral("The image to write."));
    parser.addPositionalArgument(QStringLiteral("COMPONENT"), QStringLiteral("One or more."),
                                 QStringLiteral("COMPONENT..."));
    parser.process(application);

    QTextStream err(stderr);
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() < 2) {
        err << "vorlan-mkimage: give the output file and at least one component (see --help)\n";
        return 2;
    }
    QList<ImageComponent> components;
    for (const QString &argument : arguments.mid(1)) {
        ImageComponent component;
        QString error;
        if (!parseComponent(argument, &component, &error)) {
            err << "vorlan-mkimage: " << error << '\n';
            return 1;
        }
        components.append(component);
    }
    const QString error = writeUpdateImage(arguments.first(), components);
    if (!error.isEmpty()) {
        err << "vorlan-mkimage: " << error << '\n';
        return 1;
    }
    return 0;
}
