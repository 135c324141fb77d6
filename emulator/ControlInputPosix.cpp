// The POSIX half of ControlInput.h: a notifier on descriptor 0.
#include "ControlInput.h"

#include <QSocketNotifier>

#include <cerrno>
#include <unistd.h>

struct TControlInput::TReader {
    QSocketNotifier Notifier{STDIN_FILENO, QSocketNotifier::Read};
};

TControlInput::TControlInput() : m_reader(std::make_shared<TReader>())
{
    connect(&m_reader->Notifier, &QSocketNotifier::activated, this, [this] {
        char buffer[1024];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        if (n <= 0) {
            m_reader->Notifier.setEnabled(false);
            emit Closed();
            return;
        }
        emit Chunk(QByteArray(buffer, n));
    });
}

TControlInput::~TControlInput() = default;
