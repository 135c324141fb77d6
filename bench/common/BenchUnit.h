#pragma once
// What the benchmarks share: the emulated unit started on a pseudo-terminal
// with its byte counter, and a message sink that logs in with the factory
// system password and counts every other box.

#include "session/MessageSink.h"

#include <QProcess>
#include <QString>

class TBenchSink : public TMessageSink {
public:
    int Boxes = 0;
    void ShowMessage(TMsgKind kind, const QString& text) override;
    bool Confirm(const QString& text, TConfirmButtons buttons) override;
    TPasswordAnswer AskPassword(QString& password) override;
};

class TBenchUnit {
public:
    // bitRate 0: unpaced. False when the unit did not start or name its device.
    bool Start(const QString& state, int bitRate);
    ~TBenchUnit();
    // Bytes the unit has sent so far.
    qint64 Sent();
    QString Device;

private:
    QByteArray ReadLine();
    QProcess m_process;
};
