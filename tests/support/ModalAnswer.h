#ifndef VENTROLLA_TESTS_MODALANSWER_H
#define VENTROLLA_TESTS_MODALANSWER_H

// Answering modal dialogs and message boxes from a test: arm the answer, then run the action
// that opens the dialog. Header only, for the tests of widgets.

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>

// Runs answer on the modal widget as soon as one is up. Deleting the returned timer withdraws
// an answer that was not needed.
inline QTimer *answerModal(const std::function<void(QWidget *)> &answer)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, answer] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            answer(modal);
        }
    });
    poll->start(5);
    return poll;
}

// Clicks a standard button of a dialog's button box or of a message box.
inline void clickButton(QWidget *modal, QDialogButtonBox::StandardButton which)
{
    if (auto *box = qobject_cast<QMessageBox *>(modal))
        box->button(QMessageBox::StandardButton(which))->click();
    else
        modal->findChild<QDialogButtonBox *>()->button(which)->click();
}

// What a message box said.
struct MessageSeen
{
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

// Notes what the next message box says and answers it with the given button.
inline QTimer *answerMessage(MessageSeen &seen, QDialogButtonBox::StandardButton which)
{
    return answerModal([&seen, which](QWidget *modal) {
        if (auto *box = qobject_cast<QMessageBox *>(modal))
            seen = {box->windowTitle(), box->text(), box->icon(),
                    box->standardButton(box->defaultButton())};
        clickButton(modal, which);
    });
}

#endif
