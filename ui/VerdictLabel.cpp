#include "VerdictLabel.h"

#include "Legibility.h"

#include <QAccessibleWidget>
#include <QGuiApplication>
#include <QTimer>

namespace {

class NotificationInterface : public QAccessibleWidget
{
public:
    explicit NotificationInterface(QWidget *label)
        : QAccessibleWidget(label, QAccessible::Notification)
    {
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name)
            return static_cast<QLabel *>(widget())->text();
        return QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface *notificationFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("VerdictLabel") && object && object->isWidgetType())
        return new NotificationInterface(static_cast<QWidget *>(object));
    return nullptr;
}

} // namespace

VerdictLabel::VerdictLabel(QWidget *parent) : QLabel(parent)
{
    static const bool factoryInstalled = (QAccessible::installFactory(notificationFactory), true);
    Q_UNUSED(factoryInstalled)
    setWordWrap(true);
    setTextFormat(Qt::PlainText);
    // The verdict names the copy of the flash: it can be selected and copied.
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleDescription(tr("Verdict of the update"));
    hide();
    // The desktop may switch between a light and a dark palette while the verdict is shown.
    connect(qApp, &QGuiApplication::paletteChanged, this,
            [this] { QTimer::singleShot(0, this, &VerdictLabel::colour); });
}

void VerdictLabel::announce(const QString &text, bool alarming)
{
    hide();
    this->alarming = alarming;
    colour();
    setText(text);
    show();
}

void VerdictLabel::colour()
{
    // Its own palette is the style sheet's: the window's tells the background.
    const QColor red =
        legibleColour(QColor(0xb0, 0, 0), window()->palette().color(QPalette::Window));
    setStyleSheet(alarming
                      ? QStringLiteral("QLabel { color: %1; font-weight: bold; }").arg(red.name())
                      : QString());
}

void VerdictLabel::withdraw()
{
    hide();
    clear();
}
