#pragma once

#include <QString>

#include <functional>

class QDialog;

// What a modal window (a message box or a dialog) said.
struct ModalAnswer
{
    QString title;
    QString text;
};

// Hands the next modal window to handle once it is up.
void onNextModal(const std::function<void(QDialog *)> &handle);

// Notes what the next modal window says and accepts or rejects it, as a user would.
void answerNextModal(ModalAnswer *answer, bool accept);
