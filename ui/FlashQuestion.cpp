#include "FlashQuestion.h"

#include <QApplication>
#include <QEvent>

namespace {

// Long enough for what was typed before the question came up to arrive, short enough not to
// be noticed by someone who reads it first.
constexpr qint64 settleMs = 500;

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
    qApp->installEventFilter(this);
    QMessageBox::showEvent(event);
}

void FlashQuestion::hideEvent(QHideEvent *event)
{
    qApp->removeEventFilter(this);
    QMessageBox::hideEvent(event);
}

bool FlashQuestion::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        if (shown.elapsed() < settleMs)
            return true;
        qApp->removeEventFilter(this);
        break;
    default:
        break;
    }
    return QMessageBox::eventFilter(watched, event);
}
