#pragma once
// Standard input as chunks in the event loop: the control lines' way in.
// POSIX watches the descriptor (ControlInputPosix.cpp); Windows, whose pipes
// cannot be watched so, reads them in a thread of its own
// (ControlInputWin32.cpp).

#include <QByteArray>
#include <QObject>

#include <memory>

class TControlInput : public QObject {
    Q_OBJECT
public:
    TControlInput();
    ~TControlInput() override;

signals:
    void Chunk(const QByteArray& bytes);
    // Standard input was closed (or failed): nothing more comes.
    void Closed();

private:
    struct TReader;
    std::shared_ptr<TReader> m_reader; // Windows: shared with its thread
};
