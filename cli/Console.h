#pragma once

#include <QJsonValue>
#include <QList>
#include <QPair>
#include <QString>

#include <cstdio>

// Where vorlan-flash's messages go: results to stdout, errors and warnings to stderr, and on a
// terminal one progress line that rewrites itself. With --json every message is instead one
// JSON object a line on stdout, its "event" first. Every line for a person shows the characters
// that could steer a terminal written out (visibleText), a line break in a name included: each
// text is one line, and only the lines of a list are put on lines of their own. JSON carries
// every text exactly, those characters escaped.
class Console
{
public:
    using Fields = QList<QPair<QString, QJsonValue>>;

    explicit Console(bool json);

    bool json() const { return jsonLines; }
    // Whether a question can be asked: the answer comes from a terminal on stdin.
    bool interactive() const;

    // The text as a line on stdout (nothing when it is null), or the event.
    void report(const QString &text, const QString &event, const Fields &fields = {});
    void report(const QStringList &lines, const QString &event, const Fields &fields = {});
    void warn(const QString &text);
    void fail(const QString &text);
    // Rewrites the progress line; only where stdout is a terminal.
    void showProgress(const QString &line);
    // Asks on stderr, as rm -i does, and reads the answer from stdin: "y" or "yes" accepts, and
    // the same answers in the user's language.
    bool confirm(const QString &question);

private:
    void complain(const QString &text, const QString &event);
    void write(FILE *stream, const QStringList &lines, const char *end = "\n");
    void clearProgress();

    bool jsonLines;
    bool progressLine;
    int progressWidth = 0; // of the progress line shown, 0 when none is
};
