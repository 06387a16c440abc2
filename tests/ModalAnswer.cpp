#include "ModalAnswer.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

void onNextModal(const std::function<void(QDialog *)> &handle)
{
    QTimer::singleShot(10, qApp, [=] {
        auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (modal)
            handle(modal);
        else
            onNextModal(handle);
    });
}

void answerNextModal(ModalAnswer *answer, bool accept)
{
    onNextModal([=](QDialog *modal) {
        answer->title = modal->windowTitle();
        if (auto *box = qobject_cast<QMessageBox *>(modal))
            answer->text = box->text();
        if (accept)
            modal->accept();
        else
            modal->reject();
    });
}
