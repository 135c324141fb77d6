// The Windows half of ControlInput.h: a thread blocked in ReadFile on the
// standard input handle posts what it reads to the event loop. It cannot be
// woken from its read, so it is left to end with the process; the object it
// posts to is forgotten (under the lock) when that goes.
#include "ControlInput.h"

#include <functional>
#include <mutex>
#include <thread>
#include <windows.h>

struct TControlInput::TReader {
    std::mutex Lock;
    TControlInput* Target = nullptr; // guarded by Lock

    // Raises a signal in the target's thread, unless the target is gone.
    void Post(std::function<void(TControlInput*)> raise)
    {
        std::lock_guard lock(Lock);
        if (TControlInput* target = Target)
            QMetaObject::invokeMethod(target, [target, raise] { raise(target); }, Qt::QueuedConnection);
    }
};

TControlInput::TControlInput() : m_reader(std::make_shared<TReader>())
{
    m_reader->Target = this;
    std::thread([reader = m_reader, input = ::GetStdHandle(STD_INPUT_HANDLE)] {
        char buffer[1024];
        DWORD n = 0;
        while (input && input != INVALID_HANDLE_VALUE && ::ReadFile(input, buffer, sizeof buffer, &n, nullptr) && n > 0) {
            const QByteArray bytes(buffer, int(n));
            reader->Post([bytes](TControlInput* target) { emit target->Chunk(bytes); });
        }
        reader->Post([](TControlInput* target) { emit target->Closed(); });
    }).detach();
}

TControlInput::~TControlInput()
{
    std::lock_guard lock(m_reader->Lock);
    m_reader->Target = nullptr;
}
