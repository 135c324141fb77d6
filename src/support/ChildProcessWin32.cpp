// The Win32 half of ChildProcess.h: CreateProcessW with anonymous pipes, the
// pipes' ends kept as C runtime descriptors. Windows has no pseudo-terminals,
// so a child on a terminal cannot be started here.
#include "ChildProcess.h"
#include "SystemErrorText.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcessEnvironment>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <io.h>
#include <thread>
#include <windows.h>

namespace {

// An anonymous pipe has nothing to wait on for data: it is looked at this often.
constexpr std::chrono::milliseconds PeekSlice{2};

// A pipe whose child end is inheritable and our end is not.
bool makePipe(HANDLE& ours, HANDLE& theirs, bool theyRead)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    if (!::CreatePipe(&read, &write, &inherit, 0))
        return false;
    ours = theyRead ? write : read;
    theirs = theyRead ? read : write;
    ::SetHandleInformation(ours, HANDLE_FLAG_INHERIT, 0);
    return true;
}

int descriptorOf(HANDLE handle, int flags)
{
    return ::_open_osfhandle(intptr_t(handle), flags | _O_BINARY);
}

HANDLE handleOf(int fd)
{
    return fd >= 0 ? HANDLE(::_get_osfhandle(fd)) : INVALID_HANDLE_VALUE;
}

// One argument as the C runtime's command-line parser reads it back.
QString quoted(const QString& arg)
{
    const auto plain = [](QChar c) { return !c.isSpace() && c != QLatin1Char('"'); };
    if (!arg.isEmpty() && std::all_of(arg.begin(), arg.end(), plain))
        return arg;
    QString out = QStringLiteral("\"");
    int slashes = 0;
    for (const QChar c : arg) {
        if (c == QLatin1Char('\\')) {
            ++slashes;
            continue;
        }
        out += QString(c == QLatin1Char('"') ? slashes * 2 + 1 : slashes, QLatin1Char('\\'));
        out += c;
        slashes = 0;
    }
    out += QString(slashes * 2, QLatin1Char('\\')) + QLatin1Char('"');
    return out;
}

// The environment block: ours with the overrides (NAME=value) on top.
std::wstring environmentBlock(const QStringList& overrides)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& entry : overrides) {
        const qsizetype at = entry.indexOf(QLatin1Char('='));
        environment.insert(entry.left(at), entry.mid(at + 1));
    }
    std::wstring block;
    for (const QString& entry : environment.toStringList())
        block += entry.toStdWString() + L'\0';
    block += L'\0';
    return block;
}

} // namespace

void TChildProcess::CloseAll()
{
    for (int* fd : {&m_in, &m_out, &m_err})
        if (*fd >= 0)
            ::_close(*fd);
    m_in = m_out = m_err = -1;
}

bool TChildProcess::Start(const QString& program, const QStringList& args, const TChildOptions& options)
{
    if (options.Terminal)
        return Fail(QStringLiteral("В Windows нет псевдотерминалов."));
    HANDLE inOurs, inTheirs, outOurs, outTheirs, errTheirs = INVALID_HANDLE_VALUE;
    if (!makePipe(inOurs, inTheirs, true))
        return Fail(SystemErrorText(::GetLastError()));
    if (!makePipe(outOurs, outTheirs, false)) {
        const DWORD code = ::GetLastError();
        ::CloseHandle(inOurs);
        ::CloseHandle(inTheirs);
        return Fail(SystemErrorText(code));
    }
    m_in = descriptorOf(inOurs, _O_WRONLY);
    m_out = descriptorOf(outOurs, _O_RDONLY);
    if (options.Errors == TChildErrors::ToFile) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        errTheirs = ::CreateFileW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(options.ErrorFile).utf16()),
                                  GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    } else if (options.Errors == TChildErrors::Piped) {
        HANDLE errOurs;
        if (makePipe(errOurs, errTheirs, false))
            m_err = descriptorOf(errOurs, _O_RDONLY);
    } else {
        ::DuplicateHandle(::GetCurrentProcess(), ::GetStdHandle(STD_ERROR_HANDLE), ::GetCurrentProcess(),
                          &errTheirs, 0, TRUE, DUPLICATE_SAME_ACCESS);
    }

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inTheirs;
    startup.hStdOutput = outTheirs;
    startup.hStdError = errTheirs;
    QString commandLine = quoted(QDir::toNativeSeparators(program));
    for (const QString& arg : args)
        commandLine += QLatin1Char(' ') + quoted(arg);
    std::wstring command = commandLine.toStdWString();
    std::wstring environment = environmentBlock(options.Environment);
    const std::wstring folder = QDir::toNativeSeparators(options.Folder).toStdWString();
    PROCESS_INFORMATION process{};
    const BOOL started = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE,
                                          CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, environment.data(),
                                          folder.empty() ? nullptr : folder.c_str(), &startup, &process);
    const DWORD code = ::GetLastError();
    for (HANDLE h : {inTheirs, outTheirs, errTheirs})
        if (h && h != INVALID_HANDLE_VALUE)
            ::CloseHandle(h);
    if (!started) {
        m_pid = -1;
        return Fail(QStringLiteral("%1: %2").arg(program, SystemErrorText(code)));
    }
    ::CloseHandle(process.hThread);
    m_process = std::intptr_t(process.hProcess);
    m_pid = process.dwProcessId;
    m_reaped = false;
    m_pending.clear();
    return true;
}

void TChildProcess::Write(const QByteArray& bytes)
{
    qsizetype done = 0;
    while (m_in >= 0 && done < bytes.size()) {
        DWORD n = 0;
        if (!::WriteFile(handleOf(m_in), bytes.constData() + done, DWORD(bytes.size() - done), &n, nullptr))
            return;
        done += n;
    }
}

void TChildProcess::CloseInput()
{
    if (m_in >= 0)
        ::_close(m_in);
    m_in = -1;
}

QByteArray TChildProcess::Read(int timeoutMs)
{
    if (!m_pending.isEmpty())
        return std::exchange(m_pending, {});
    if (m_out < 0)
        return {};
    const HANDLE pipe = handleOf(m_out);
    QElapsedTimer clock;
    clock.start();
    DWORD available = 0;
    while (::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available == 0) {
        if (clock.elapsed() >= timeoutMs)
            return {};
        std::this_thread::sleep_for(PeekSlice);
    }
    // A broken pipe (the child ended) reads as the end: nothing.
    char buffer[4096];
    DWORD n = 0;
    if (available == 0 || !::ReadFile(pipe, buffer, qMin<DWORD>(available, sizeof buffer), &n, nullptr))
        return {};
    return QByteArray(buffer, int(n));
}

QByteArray TChildProcess::ReadErrors()
{
    QByteArray errors;
    const HANDLE pipe = handleOf(m_err);
    char buffer[4096];
    DWORD available = 0, n = 0;
    while (m_err >= 0 && ::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0
           && ::ReadFile(pipe, buffer, qMin<DWORD>(available, sizeof buffer), &n, nullptr) && n > 0)
        errors.append(buffer, int(n));
    return errors;
}

bool TChildProcess::Reap(bool block)
{
    if (m_pid <= 0 || m_reaped)
        return m_reaped;
    const HANDLE process = HANDLE(m_process);
    if (::WaitForSingleObject(process, block ? INFINITE : 0) == WAIT_TIMEOUT)
        return false;
    DWORD code = 0;
    m_exitCode = ::GetExitCodeProcess(process, &code) ? int(code) : -1;
    FILETIME created, exited, kernel, user;
    if (::GetProcessTimes(process, &created, &exited, &kernel, &user)) {
        const auto seconds = [](const FILETIME& t) {
            return double((quint64(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
        };
        m_cpu = seconds(kernel) + seconds(user);
    }
    ::CloseHandle(process);
    m_process = 0;
    m_reaped = true;
    return true;
}

void TChildProcess::End(bool)
{
    // A console child has no gentle request to end that reaches it from here
    // (its input is already closed by then): both steps terminate it.
    ::TerminateProcess(HANDLE(m_process), 1);
}
