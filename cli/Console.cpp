#include "Console.h"

#include "VisibleText.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <cstdlib>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// JSON escapes only the C0 controls itself; the rest of what visibleText writes out it takes
// raw, and a terminal would act on it.
QByteArray jsonText(const QJsonValue &value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    const QString text = QString::fromUtf8(array.mid(1, array.size() - 2));
    if (visibleText(text) == text)
        return array.mid(1, array.size() - 2);
    QString escaped;
    for (const QChar c : text) {
        const QString alone(c);
        escaped += visibleText(alone) == alone
                       ? alone
                       : QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    return escaped.toUtf8();
}

// The columns of the terminal on stdout, or 0 when it does not say.
int terminalWidth()
{
    winsize size{};
    return ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

} // namespace

Console::Console(bool json) : jsonLines(json), progressLine(!json && isatty(STDOUT_FILENO)) {}

bool Console::interactive() const
{
    return !jsonLines && isatty(STDIN_FILENO);
}

void Console::report(const QString &text, const QString &event, const Fields &fields)
{
    report(text.isNull() ? QStringList() : QStringList{text}, event, fields);
}

void Console::report(const QStringList &lines, const QString &event, const Fields &fields)
{
    if (!jsonLines) {
        if (!lines.isEmpty())
            write(stdout, lines);
        return;
    }
    QByteArray line = "{\"event\":" + jsonText(event);
    for (const auto &field : fields)
        line += ',' + jsonText(field.first) + ':' + jsonText(field.second);
    clearProgress();
    line += "}\n";
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}

void Console::warn(const QString &text)
{
    complain(text, QStringLiteral("warning"));
}

void Console::fail(const QString &text)
{
    complain(text, QStringLiteral("error"));
}

void Console::complain(const QString &text, const QString &event)
{
    if (jsonLines)
        report(text, event, {{QStringLiteral("text"), text}});
    else
        write(stderr, {text});
}

void Console::showProgress(const QString &line)
{
    if (!progressLine)
        return;
    // A line longer than the terminal wraps, and a carriage return goes back to its last row.
    const int width = terminalWidth();
    const QString visible = visibleText(line);
    const QString shown = width > 1 ? visible.left(width - 1) : visible;
    const QString padding(std::max(0, progressWidth - shown.size()), QLatin1Char(' '));
    const QByteArray bytes = ('\r' + shown + padding).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
    progressWidth = shown.size();
}

bool Console::confirm(const QString &question)
{
    // Only an answer typed after the question appeared counts: what was typed ahead goes.
    tcflush(STDIN_FILENO, TCIFLUSH);
    write(stderr, {question}, " ");
    char *answer = nullptr;
    size_t size = 0;
    const bool answered = getline(&answer, &size, stdin) >= 0;
    const QString word = QString::fromLocal8Bit(answered ? answer : "").trimmed().toLower();
    std::free(answer);
    if (!answered) // end of input: the next line starts on a line of its own
        write(stderr, {});
    // The answers of the user's language count, and the English ones anyway.
    return word == QLatin1String("y") || word == QLatin1String("yes") ||
           word == QCoreApplication::translate("Console", "y", "the short answer yes") ||
           word == QCoreApplication::translate("Console", "yes", "the answer yes");
}

// Every write goes out at once, so that a log or a pipe follows the update as it runs; one
// that fails (a reader gone, SIGPIPE ignored) is let go. No lines at all end the line begun.
void Console::write(FILE *stream, const QStringList &lines, const char *end)
{
    clearProgress();
    QStringList shown;
    for (const QString &line : lines)
        shown << visibleText(line);
    const QByteArray bytes = (shown.join(QLatin1Char('\n')) + QLatin1String(end)).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

void Console::clearProgress()
{
    if (progressWidth == 0)
        return;
    const QByteArray blank = '\r' + QByteArray(progressWidth, ' ') + '\r';
    std::fwrite(blank.constData(), 1, size_t(blank.size()), stdout);
    std::fflush(stdout);
    progressWidth = 0;
}
