#include "VisibleText.h"

#include <algorithm>

namespace {

bool steers(QChar c)
{
    const ushort u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u <= 0x9F) || (u >= 0x202A && u <= 0x202E) ||
           (u >= 0x2066 && u <= 0x2069);
}

} // namespace

QString visibleText(const QString &text)
{
    // Most texts hold none: they are handed back without a copy.
    if (std::none_of(text.begin(), text.end(), steers))
        return text;
    QString shown;
    shown.reserve(text.size() + 8);
    for (const QChar c : text) {
        if (!steers(c))
            shown += c;
        else if (c.unicode() < 0x80)
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    return shown;
}
