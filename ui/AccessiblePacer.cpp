#include "AccessiblePacer.h"

#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTimer>

namespace {

constexpr int valueIntervalMs = 500;

AccessiblePacer *current = nullptr;

} // namespace

// One pacer at a time paces the whole application: a newer one takes over from an older.
AccessiblePacer::AccessiblePacer(QObject *parent)
    : QObject(parent), previous(QAccessible::installUpdateHandler(&AccessiblePacer::receive))
{
    if (current)
        previous = current->previous;
    current = this;
}

AccessiblePacer::~AccessiblePacer()
{
    if (current != this)
        return;
    current = nullptr;
    QAccessible::installUpdateHandler(previous);
}

void AccessiblePacer::paceValue(QProgressBar *bar)
{
    Pace &pace = bars[bar];
    pace.late = new QTimer(this);
    pace.late->setSingleShot(true);
    connect(pace.late, &QTimer::timeout, this, [this, bar] {
        QAccessibleValueChangeEvent event(bar, bar->value());
        pass(&event);
        bars[bar].sinceSent.start();
    });
    connect(bar, &QObject::destroyed, this, [this, bar] { delete bars.take(bar).late; });
}

void AccessiblePacer::paceStage(QLabel *label)
{
    stages.insert(label, stage(label->text()));
    connect(label, &QObject::destroyed, this, [this, label] { stages.remove(label); });
}

QString AccessiblePacer::stage(const QString &text)
{
    static const QRegularExpression address(QStringLiteral("0x[0-9A-Fa-f]+\\W*$"));
    return QString(text).remove(address);
}

void AccessiblePacer::receive(QAccessibleEvent *event)
{
    if (current && !current->holdBack(event))
        current->pass(event);
}

// Hands the event on as if no pacer were there: to the handler before it, or to the platform's
// bridge, which takes events when no handler is installed.
void AccessiblePacer::pass(QAccessibleEvent *event)
{
    if (previous) {
        previous(event);
        return;
    }
    QAccessible::installUpdateHandler(nullptr);
    QAccessible::updateAccessibility(event);
    QAccessible::installUpdateHandler(&AccessiblePacer::receive);
}

bool AccessiblePacer::holdBack(QAccessibleEvent *event)
{
    if (event->type() == QAccessible::ValueChanged) {
        const auto bar = bars.find(event->object());
        if (bar == bars.end())
            return false;
        Pace &pace = bar.value();
        const qint64 since = pace.sinceSent.isValid() ? pace.sinceSent.elapsed() : valueIntervalMs;
        if (since >= valueIntervalMs) {
            pace.late->stop();
            pace.sinceSent.start();
            return false;
        }
        if (!pace.late->isActive())
            pace.late->start(int(valueIntervalMs - since));
        return true;
    }
    if (event->type() == QAccessible::NameChanged) {
        const auto label = stages.find(event->object());
        if (label == stages.end())
            return false;
        const QString now = stage(static_cast<QLabel *>(event->object())->text());
        if (now == label.value())
            return true;
        label.value() = now;
    }
    return false;
}
