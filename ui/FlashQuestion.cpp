#include "FlashQuestion.h"

#include "SettledInput.h"

FlashQuestion::FlashQuestion(const QString &title, const QString &text,
                             StandardButton defaultButton, QWidget *parent)
    : QMessageBox(Question, title, text, Yes | No, parent)
{
    setDefaultButton(defaultButton);
    new SettledInput(this);
}

bool FlashQuestion::ask(QWidget *parent, const QString &title, const QString &text,
                        StandardButton defaultButton)
{
    FlashQuestion question(title, text, defaultButton, parent);
    return question.exec() == Yes;
}
