#pragma once
// Turns the signals the unit listens to into Qt signals in its event loop:
// SIGTERM, SIGINT and SIGHUP end it in order (its lrzsz child included),
// SIGUSR1 asks for the byte counts.

#include <QObject>
#include <QSocketNotifier>

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
    void OnReadable();
    int m_pipe[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
};
