#pragma once
// Turns the signals the unit listens to into Qt signals in its event loop:
// SIGTERM, SIGINT and SIGHUP end it in order (its lrzsz child included),
// SIGUSR1 asks for the byte counts (SignalWatchPosix.cpp). On Windows Ctrl-C,
// Ctrl-Break and closing its console end it (SignalWatchWin32.cpp).

#include <QObject>

#include <memory>

class TSignalWatch : public QObject {
    Q_OBJECT
public:
    TSignalWatch();
    ~TSignalWatch() override;
    bool Install(QString& error);

signals:
    void Terminate();
    void Report();

private:
    struct TState;
    std::unique_ptr<TState> m_state;
};
