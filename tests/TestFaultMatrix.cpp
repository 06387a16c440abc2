// A whole update of a three-component image under every fault the simulator offers, alone and
// in pairs. Whatever happens, the tool must end once, close the flash node, touch nothing after
// the component that failed, and say "Done" exactly when the flash holds the image.

#include "SimulatedDevice.h"
#include "UpdaterThread.h"
#include "WorkerRecorder.h"

#include <QtTest>

namespace {

using Settings = QList<QPair<QByteArray, QByteArray>>;

struct Fault
{
    const char *name;
    Settings settings;
    bool fatal; // whether the update cannot succeed under it
};

const QByteArray marker(1, '\x5A');

QList<ImageComponent> imageComponents()
{
    return {{"BOOT", 0x01000000, 0x040000, 1, componentData(70000, 11)},
            {"KERN", 0x02000000, 0x100000, 1, componentData(300000, 12)},
            {"CONF", 0x03000000, 0x200000, 1, componentData(5000, 13)}};
}

// The address of a data byte of the component with some bit set, and that bit; inverted, a
// bit that the image clears.
QByteArray bitOf(const ImageComponent &component, int index, bool set)
{
    for (int i = index;; ++i) {
        const uchar byte = uchar(component.data.at(i));
        const uchar bits = set ? byte : uchar(~byte);
        if (bits) {
            const quint32 address = component.flashAddress + 32 + quint32(i);
            return QByteArray::number(address) + ':' + QByteArray::number(bits & -bits);
        }
    }
}

QList<Fault> faults()
{
    const QList<ImageComponent> c = imageComponents();
    return {
        {"unlock refused", {{"UNLOCK", "refuse"}}, true},
        {"first erase of KERN refused", {{"ERASE_FAIL", "0x100000:1"}}, true},
        {"second erase of BOOT refused", {{"ERASE_FAIL", "0x40000:2"}}, true},
        {"stuck bit in BOOT", {{"STUCK_BITS", bitOf(c[0], 100, true)}}, true},
        {"stuck bit in CONF", {{"STUCK_BITS", bitOf(c[2], 4000, true)}}, true},
        {"bit lost on first programming", {{"WEAK_BITS", bitOf(c[1], 5000, false)}}, false},
        {"short read", {{"SHORT_READ", "5"}}, false},
        {"short write", {{"SHORT_WRITE", "7"}}, false},
        {"flash node missing", {{"FLASH_NODE", "missing"}}, true},
        {"slow device", {{"ERASE_US", "2000"}, {"WRITE_US_PER_KIB", "20"}}, false},
    };
}

} // namespace

class TestFaultMatrix : public QObject
{
    Q_OBJECT

private slots:
    void update_data();
    void update();
};

void TestFaultMatrix::update_data()
{
    QTest::addColumn<Settings>("settings");
    QTest::addColumn<bool>("fatal");
    const QList<Fault> all = faults();
    QTest::newRow("no fault") << Settings() << false;
    for (int i = 0; i < all.size(); ++i) {
        QTest::newRow(all[i].name) << all[i].settings << all[i].fatal;
        for (int j = i + 1; j < all.size(); ++j) {
            // Two settings of the same variable cannot be combined.
            if (all[i].settings.first().first == all[j].settings.first().first)
                continue;
            QTest::addRow("%s + %s", all[i].name, all[j].name)
                << all[i].settings + all[j].settings << (all[i].fatal || all[j].fatal);
        }
    }
}

void TestFaultMatrix::update()
{
    QFETCH(Settings, settings);
    QFETCH(bool, fatal);
    SimulatedDevice device;
    const QList<ImageComponent> components = imageComponents();
    for (const ImageComponent &component : components)
        device.writeFlash(component.flashAddress, marker.repeated(32 + component.data.size()));
    const QString path = device.makeImage(components);
    for (const auto &setting : settings)
        device.set(setting.first.constData(), setting.second);

    const std::unique_ptr<WorkerRecorder> recorder = runUpdate(path);
    QCOMPARE(recorder->finishedCount(), 1);
    QCOMPARE(device.traceMatching("flash close").size(),
             device.traceMatching("flash open$").size());

    // Every component up to the first that failed holds the image; none after it changed.
    int firstBad = -1;
    for (int i = 0; i < components.size(); ++i) {
        const int size = 32 + components[i].data.size();
        if (firstBad >= 0)
            QVERIFY2(device.flash(components[i].flashAddress, size) == marker.repeated(size),
                     "a component after a failed one changed");
        else if (!device.holdsComponent(path, components, i))
            firstBad = i;
    }
    const bool done =
        recorder->statusTexts().contains("Done updating. It is now safe to restart the computer.");
    QCOMPARE(done, firstBad < 0);
    QCOMPARE(done, !fatal);
    qInfo("%s", qPrintable(recorder->statusTexts().last()));
}

QTEST_GUILESS_MAIN(TestFaultMatrix)
#include "TestFaultMatrix.moc"
