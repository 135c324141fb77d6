#pragma once
// The file-transfer components. A TSpProtocol rides on a serial port as its
// companion: for the length of one transfer it takes every byte the port reads,
// runs the transfer in a thread of its own and reports start, progress, errors
// and the end as events in the main thread. TSpYModem is the YModem batch
// transfer the program uses to move voice files to and from the unit.

#include "serial/SpComm.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

class TSpProtocolThread;

enum TSpTransferMode { tmUpload, tmDownload };

// Exit codes of a transfer (ExitCode, OnTransferEnd).
enum TSpExitCode : int {
    ecDone = 0,
    ecCancelled = -3,       // CancelTransfer on this side
    ecRemoteCancel = -4,    // cancel byte from the other side
    ecProtocol = -5,        // unexpected byte, block out of sequence, no handshake
    ecReadFailed = -7,      // the file to send could not be read (or the port failed while sending)
    ecWriteFailed = -8,     // the received file could not be written (or the port failed while receiving)
    ecTooManyErrors = -9,   // the error count reached MaxErrors
    ecNoSender = -10,       // the sender never answered our start character
    ecCreateFailed = -11,   // the file to receive could not be created
    ecOpenFailed = -12,     // the file to send could not be opened
    ecOverflow = -14,       // more inbound bytes than the queue holds
};

// Error codes of OnError (counted errors below MaxErrors).
enum TSpErrorCode : int {
    erTimeout = -1,  // no byte within Timeout (or no answer to a start character)
    erBadBlock = -15, // a block with a bad check, or a NAK for a sent block
    erBadByte = -16,  // an unexpected byte instead of a start character or an EOT's ACK
};

class TSpProtocol : public TSpCommComponent {
public:
    TSpProtocol();
    // Derived components stop a running transfer in their own destructor
    // (StopTransfer), while their events are still whole.
    ~TSpProtocol() override;
    TSpProtocol(const TSpProtocol&) = delete;
    TSpProtocol& operator=(const TSpProtocol&) = delete;

    TSpTransferMode Mode() const { return m_mode; }
    void SetMode(TSpTransferMode v) { m_mode = v; }
    int Timeout() const { return m_timeout; }
    void SetTimeout(int ms) { m_timeout = ms; }
    int MaxErrors() const { return m_maxErrors; }
    void SetMaxErrors(int v) { m_maxErrors = v; }
    // Capacity of the inbound queue; a chunk that would lift it above this is
    // dropped and the transfer ends with ecOverflow.
    int BufferSize() const { return m_bufferSize; }
    void SetBufferSize(int v) { m_bufferSize = v; }

    // Main thread. Throws std::runtime_error while a transfer runs.
    virtual void StartTransfer();
    virtual void CancelTransfer();
    bool InProgress() const { return m_thread != nullptr; }
    int ExitCode() const { return m_exitCode.load(); }

    // Raised in the main thread; the transfer thread waits meanwhile.
    std::function<void(TSpProtocol* sender)> OnTransferStart;
    std::function<void(TSpProtocol* sender, int exitCode)> OnTransferEnd;
    std::function<void(TSpProtocol* sender, int errorCode, int errorCount)> OnError;

protected:
    // A device failure (ceError) ends the running transfer at once.
    void CommEvent(int mask) override;
    virtual std::unique_ptr<TSpProtocolThread> CreateProtocolThread() = 0;
    virtual void DoTransferStart();
    virtual void DoTransferEnd();
    virtual void PrepareTransfer();
    // Ends a running transfer without OnTransferEnd and waits for its thread,
    // serving its hand-overs to the main thread meanwhile.
    void StopTransfer();
    // Runs a user handler; an exception from it is shown, never passed on.
    void RaiseSafely(const std::function<void()>& raise);
    // True while the component is being destroyed: events are no longer raised.
    bool Destroying() const { return m_destroying; }

private:
    friend class TSpProtocolThread;
    void TransferEnded(const TSpProtocolThread* thread);
    void SetExitCode(int code) { m_exitCode.store(code); }

    TSpTransferMode m_mode = tmUpload;
    int m_timeout = 60000;
    int m_maxErrors = 10;
    int m_bufferSize = 4096;
    std::unique_ptr<TSpProtocolThread> m_thread;
    std::atomic<int> m_exitCode{0};
    bool m_destroying = false;
    QObject m_endContext; // the end notice is posted to it; dropped with it
};

// Adds the per-file events of the X/YModem family.
class TSpXYModem : public TSpProtocol {
public:
    std::function<void(TSpProtocol* sender, const QString& name, qint64 size)> OnFileInfo;
    // Raised in the main thread for every block, in order, without holding the
    // transfer up: the thread goes on with the next block meanwhile.
    std::function<void(TSpProtocol* sender, int packet, qint64 byteCount)> OnPacketEvent;

protected:
    friend class TSpXYModemThread;
    void RaiseFileInfo(const QString& name, qint64 size);
    void RaisePacket(int packet, qint64 byteCount);
};

enum TSpYProtocol { YModem, YModemG };

// Batch transfer: sends the files of Files in order, or receives into
// TargetFolder and lists what it stored whole in Files. A cancel that comes
// after a file's last byte has moved lets the batch end first (see
// TSpProtocolThread::HoldCancel): the exit code is then that of the batch.
class TSpYModem final : public TSpXYModem {
public:
    ~TSpYModem() override;

    // Upload: the paths to send. Download: cleared at the start, then the path
    // of every file received whole (every byte of its declared size, every
    // block checked), listed as soon as it is: a later failure of the transfer
    // does not take it back.
    QStringList Files;
    TSpYProtocol Protocol() const { return m_protocol; }
    void SetProtocol(TSpYProtocol v) { m_protocol = v; }
    QString TargetFolder() const { return m_targetFolder; }
    void SetTargetFolder(const QString& v) { m_targetFolder = v; }

protected:
    std::unique_ptr<TSpProtocolThread> CreateProtocolThread() override;
    void PrepareTransfer() override;

private:
    TSpYProtocol m_protocol = YModem;
    QString m_targetFolder;
};
