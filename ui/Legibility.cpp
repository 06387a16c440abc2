#include "Legibility.h"

#include <QGuiApplication>
#include <QPalette>
#include <QTimer>
#include <QWidget>

#include <cmath>

namespace {

constexpr double legible = 4.5;

double luminance(const QColor &colour)
{
    const auto linear = [](double channel) {
        return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

} // namespace

double contrastRatio(const QColor &one, const QColor &other)
{
    const double a = luminance(one);
    const double b = luminance(other);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor legibleColour(const QColor &colour, const QColor &background)
{
    const bool darkBackground = luminance(background) < 0.18;
    QColor result = colour.toHsl();
    for (int step = 0; step < 50 && contrastRatio(result, background) < legible; ++step) {
        const qreal lightness = result.lightnessF() + (darkBackground ? 0.02 : -0.02);
        result.setHslF(result.hslHueF(), result.hslSaturationF(), qBound(0.0, lightness, 1.0));
    }
    return result.toRgb();
}

void keepLegibleWhileDisabled(QWidget *field)
{
    const auto adjust = [field] {
        field->setPalette(QPalette()); // what the field inherits now, without a former adjustment
        QPalette palette = field->palette();
        palette.setColor(QPalette::Disabled, QPalette::Text,
                         legibleColour(palette.color(QPalette::Disabled, QPalette::Text),
                                       palette.color(QPalette::Disabled, QPalette::Base)));
        field->setPalette(palette);
    };
    adjust();
    // Again when the desktop switches palettes, once the widgets have taken the new one.
    QObject::connect(qApp, &QGuiApplication::paletteChanged, field,
                     [field, adjust] { QTimer::singleShot(0, field, adjust); });
}
