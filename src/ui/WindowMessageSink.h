#pragma once
// The message sink of the real window: error and warning boxes, confirmations
// and the password prompt as modal dialogs over the active window. While the
// application terminates it shows nothing modal: messages go to standard
// error, confirmations are declined and the password prompt is cancelled, so
// closing the program never waits for a person.

#include "session/MessageSink.h"

class TWindowMessageSink : public TMessageSink {
public:
    void ShowMessage(TMsgKind kind, const QString& text) override;
    bool Confirm(const QString& text, TConfirmButtons buttons) override;
    TPasswordAnswer AskPassword(QString& password) override;

    // Shown under the password edit; empty shows none.
    QString PasswordHint;
};
