#pragma once
// Control lines on the unit's standard input, so that a test (or a person in
// the terminal that started it) can switch faults while it runs. Every line is
// answered on standard output: "ok <line>", or "error <line>: <why>".
//
//   fault silent|busy|bytewise on|off
//   fault delay MS          pause before every reply line and prompt
//   fault ymodem N          the next transfer reports YMODEM_ERR(N); 0 clears
//   fault refuse WORD       answer the command WORD with ERROR
//   fault accept WORD       stop refusing it
//   fault garbage on|off    stray bytes before every reply line
//   fault word WORD [SKIP]  say WORD instead of the reply line or question
//                           that comes after SKIP more (default 0)
//   fault none              clear every fault
//   count                   "count sent=N received=M"

#include "ControlInput.h"

#include <QByteArray>
#include <QObject>

#include <functional>

class TTrafficLog;
struct TUnitFaults;

class TControlChannel : public QObject {
    Q_OBJECT
public:
    using TCounts = std::function<QByteArray()>;
    TControlChannel(TUnitFaults& faults, TTrafficLog& log, TCounts counts);

signals:
    // Standard input was closed: the unit's time is up.
    void Closed();

private:
    void OnChunk(const QByteArray& bytes);
    void Execute(const QByteArray& line);
    // Applies a fault line; returns the reason when it is not one.
    QByteArray ApplyFault(const QList<QByteArray>& words);
    QByteArray ApplyWord(const QByteArray& word, const QByteArray& skip);

    TUnitFaults& m_faults;
    TTrafficLog& m_log;
    TCounts m_counts;
    TControlInput m_input;
    QByteArray m_pending;
};
