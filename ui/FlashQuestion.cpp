#include "FlashQuestion.h"

#include <QApplication>
#include <QEvent>

namespace {

// Long enough for what was typed before the question came up to arrive, short enough not to
// be noticed by someone who reads it first.
constexpr qint64 settleMs = 500;

bool isKey(QEvent::Type type)
{
    return type == QEvent::KeyPress || type == QEvent::KeyRelease ||
           type == QEvent::ShortcutOverride || type == QEvent::Shortcut;
}

} // namespace

FlashQuestion::FlashQuestion(const QString &title, const QString &text,
                             StandardButton defaultButton, QWidget *parent)
    : QMessageBox(Question, title, text, Yes | No, parent)
{
    setDefaultButton(defaultButton);
}

bool FlashQuestion::ask(QWidget *parent, const QString &title, const QString &text,
                        StandardButton defaultButton)
{
    FlashQuestion question(title, text, defaultButton, parent);
    return question.exec() == Yes;
}

void FlashQuestion::showEvent(QShowEvent *event)
{
    shown.start();
    keysQuiet.start();
    keysCount = false;
    qApp->installEventFilter(this);
    QMessageBox::showEvent(event);
}

void FlashQuestion::hideEvent(QHideEvent *event)
{
    qApp->removeEventFilter(this);
    QMessageBox::hideEvent(event);
}

// Keys count once the keyboard has been quiet for a moment since the question appeared: a key
// that was held down before, and repeats, never answers it. Clicks count after that moment.
bool FlashQuestion::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (isKey(type) && !keysCount) {
        keysCount = keysQuiet.elapsed() >= settleMs;
        keysQuiet.start();
        if (!keysCount)
            return true;
    }
    const bool click = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
                       type == QEvent::MouseButtonDblClick;
    if (click && shown.elapsed() < settleMs)
        return true;
    return QMessageBox::eventFilter(watched, event);
}
