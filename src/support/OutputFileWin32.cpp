// The Win32 half of OutputFileSystem.h. A file is replaced with
// MoveFileExW(REPLACE_EXISTING | WRITE_THROUGH), one step on NTFS; devices
// (NUL, CON, COMn) and pipes are written in place. A file of TFileAccess::Owner
// is created with an access list of its own that grants its owner and the
// system alone, and that inherits nothing from the folder; administrators can
// still take ownership of it, which Windows does not let a user prevent.
#include "OutputFileSystem.h"
#include "SystemErrorText.h"

#include <QDir>
#include <QFileInfo>
#include <QIODevice>
#include <QRandomGenerator>

#include <cstdio>
#include <string>
#include <vector>
#include <windows.h>
#include <sddl.h>

namespace {

constexpr qint64 CopyChunk = 64 * 1024;
constexpr int NameTries = 100;

std::wstring Native(const QString& path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

QString LastError()
{
    return SystemErrorText(::GetLastError());
}

// Writes all of from into handle, however the system splits it.
bool CopyInto(QIODevice& from, HANDLE handle, QString& reason)
{
    while (!from.atEnd()) {
        const QByteArray chunk = from.read(CopyChunk);
        if (chunk.isEmpty()) {
            reason = from.errorString();
            return false;
        }
        for (qsizetype done = 0; done < chunk.size();) {
            DWORD n = 0;
            if (!::WriteFile(handle, chunk.constData() + done, DWORD(chunk.size() - done), &n, nullptr)) {
                reason = LastError();
                return false;
            }
            done += n;
        }
    }
    return true;
}

// The access list of a private file: the user who runs the program and the
// system, nothing inherited. Named by the user's own SID: the "owner rights"
// SID would also lock out the owner's later replacement of the file where it
// is not honoured.
class TPrivateAccess {
public:
    TPrivateAccess()
    {
        const std::wstring sid = UserSid();
        if (sid.empty())
            return;
        const std::wstring sddl = L"D:P(A;;FA;;;" + sid + L")(A;;FA;;;SY)";
        if (::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &m_descriptor,
                                                                   nullptr))
            m_attributes.lpSecurityDescriptor = m_descriptor;
    }
    ~TPrivateAccess() { ::LocalFree(m_descriptor); }
    TPrivateAccess(const TPrivateAccess&) = delete;
    TPrivateAccess& operator=(const TPrivateAccess&) = delete;
    // Null (the folder's inherited access) when the user could not be told.
    SECURITY_ATTRIBUTES* Attributes() { return m_descriptor ? &m_attributes : nullptr; }

private:
    static std::wstring UserSid()
    {
        HANDLE token = nullptr;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
            return {};
        std::wstring result;
        DWORD size = 0;
        ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        std::vector<BYTE> buffer(size);
        wchar_t* text = nullptr;
        if (size && ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size)
            && ::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
            result = text;
            ::LocalFree(text);
        }
        ::CloseHandle(token);
        return result;
    }

    PSECURITY_DESCRIPTOR m_descriptor = nullptr;
    SECURITY_ATTRIBUTES m_attributes{sizeof m_attributes, nullptr, FALSE};
};

// A new file beside target under a name nobody uses.
HANDLE CreateBeside(const QString& target, TFileAccess access, QString& created)
{
    const QFileInfo info(target);
    TPrivateAccess privateAccess;
    SECURITY_ATTRIBUTES* security = access == TFileAccess::Owner ? privateAccess.Attributes() : nullptr;
    for (int i = 0; i < NameTries; ++i) {
        created = info.absolutePath() + QStringLiteral("/.") + info.fileName() + QLatin1Char('.')
            + QString::number(QRandomGenerator::global()->generate(), 36);
        const HANDLE file = ::CreateFileW(Native(created).c_str(), GENERIC_WRITE, 0, security, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
    return INVALID_HANDLE_VALUE;
}

} // namespace

TOutputTarget LookAtOutput(const QString& path)
{
    // Opened for no access at all, which devices and folders allow too.
    const HANDLE handle = ::CreateFileW(Native(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        const bool missing = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
        return {TOutputKind::New, path, missing ? QString() : SystemErrorText(code)};
    }
    const DWORD type = ::GetFileType(handle);
    BY_HANDLE_FILE_INFORMATION information{};
    const bool described = type == FILE_TYPE_DISK && ::GetFileInformationByHandle(handle, &information);
    ::CloseHandle(handle);
    if (type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE)
        return {TOutputKind::Stream, path, {}};
    if (!described)
        return {TOutputKind::Other, path, {}};
    if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return {TOutputKind::Folder, path, {}};
    return {TOutputKind::Regular, QFileInfo(path).canonicalFilePath(), {}};
}

std::optional<QString> WriteRefusal(const QString& path, bool folder)
{
    // Access lists decide on Windows, and only an attempt tells them: a folder
    // is asked when its file is created. A read-only file is refused before.
    if (folder)
        return std::nullopt;
    const DWORD attributes = ::GetFileAttributesW(Native(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)
        && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return SystemErrorText(ERROR_ACCESS_DENIED);
    return std::nullopt;
}

bool WriteInPlace(const QString& path, QIODevice& from, QString& reason)
{
    if (path == StandardOutput) {
        std::fflush(stdout);
        return CopyInto(from, ::GetStdHandle(STD_OUTPUT_HANDLE), reason);
    }
    // OPEN_EXISTING: the device or pipe is there, and only it is written.
    const HANDLE handle = ::CreateFileW(Native(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        reason = LastError();
        return false;
    }
    const bool written = CopyInto(from, handle, reason);
    ::CloseHandle(handle);
    return written;
}

bool ReplaceWhole(const QString& target, QIODevice& from, TFileAccess access, QString& reason)
{
    QString temporary;
    const HANDLE file = CreateBeside(target, access, temporary);
    if (file == INVALID_HANDLE_VALUE) {
        reason = LastError();
        return false;
    }
    bool done = CopyInto(from, file, reason);
    if (done && !::FlushFileBuffers(file)) {
        reason = LastError();
        done = false;
    }
    ::CloseHandle(file);
    if (done && !::MoveFileExW(Native(temporary).c_str(), Native(target).c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        reason = LastError();
        done = false;
    }
    if (!done)
        ::DeleteFileW(Native(temporary).c_str());
    return done;
}

TMoveResult MoveOver(const QString& finished, const QString& target, QString& reason)
{
    if (::MoveFileExW(Native(finished).c_str(), Native(target).c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return TMoveResult::Moved;
    const DWORD code = ::GetLastError();
    if (code == ERROR_NOT_SAME_DEVICE)
        return TMoveResult::OtherFilesystem;
    reason = SystemErrorText(code);
    return TMoveResult::Failed;
}
