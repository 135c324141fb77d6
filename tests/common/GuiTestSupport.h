#pragma once
// Drives modal dialogs in widget tests. A test queues answers for the modal
// dialogs it expects (AnswerNextModal); a timer in the main thread watches
// QApplication::activeModalWidget() and runs the first queued answer whose
// class matches once such a dialog is shown, from inside its exec() loop. A
// modal dialog nobody answers is closed after a grace period and reported by
// CloseLeftoverModals, so a failing test never blocks until its timeout.

#include <QMetaObject>
#include <QStringList>
#include <QWidget>

#include <functional>

class QAbstractButton;

namespace TestSupport {

void AnswerNextModalOf(const QMetaObject& type, std::function<void(QWidget*)> action);

// e.g. AnswerNextModal<TFormNumber>([](TFormNumber* d) { d->UpDown1->setValue(12); d->accept(); });
// T must have Q_OBJECT (QMessageBox and every dialog of the program do).
template <class T>
void AnswerNextModal(std::function<void(T*)> action)
{
    AnswerNextModalOf(T::staticMetaObject,
                      [action = std::move(action)](QWidget* w) { action(static_cast<T*>(w)); });
}

// Clicks a radio button or check box on its indicator, where a user would; the
// middle of a button stretched by its layout lies outside its clickable area.
void ClickIndicator(QAbstractButton* button);

// Processes events until every queued answer has run; false on timeout.
bool WaitModalsAnswered(int timeoutMs = 20000);

// Closes (rejects) every modal dialog still open and drops the answers still
// queued. Returns what was wrong: dialogs left open, dialogs the watchdog had
// to close, answers never used. Empty means all went as the test expected;
// call it in cleanup().
QStringList CloseLeftoverModals();

// How long a modal dialog with no matching answer may stay open before the
// watchdog closes it (default 10 s).
void SetUnansweredModalGraceMs(int ms);

} // namespace TestSupport
