#include "SettledInput.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace {

// Long enough for what was typed before the window came up to arrive, short enough not to be
// noticed by someone who reads it first.
constexpr qint64 settleMs = 500;

bool isKey(QEvent::Type type)
{
    return type == QEvent::KeyPress || type == QEvent::KeyRelease ||
           type == QEvent::ShortcutOverride || type == QEvent::Shortcut;
}

bool isClick(QEvent::Type type)
{
    return type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
           type == QEvent::MouseButtonDblClick;
}

} // namespace

SettledInput::SettledInput(QWidget *window) : QObject(window), window(window)
{
    window->installEventFilter(this);
}

// The whole application's input is watched while the window is shown: a key goes to whichever
// widget has the focus, a shortcut to the window.
bool SettledInput::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (watched == window && type == QEvent::Show) {
        shown.start();
        keysQuiet.start();
        keysCount = false;
        qApp->installEventFilter(this);
    } else if (watched == window && type == QEvent::Hide) {
        qApp->removeEventFilter(this);
    } else if (isKey(type) && !keysCount) {
        keysCount = keysQuiet.elapsed() >= settleMs;
        keysQuiet.start();
        return !keysCount;
    } else if (isClick(type) && shown.elapsed() < settleMs) {
        return true;
    }
    return false;
}
