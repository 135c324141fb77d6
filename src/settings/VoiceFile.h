#pragma once
// One voice file the unit keeps under a parameter code (a service message, or
// through TMenuDlg a menu's recording): read its name and length, show them,
// delete it, and the unit's side of a transfer — the request before the YModem
// transfer, which the transfer window runs, and the unit's result line after it.

#include "session/Joint1.h"

#include <QString>

#include <functional>

class TFile : public TJoint1 {
public:
    // Start states besides Read (read and show).
    enum : int {
        DeleteFile = 20,
        UploadFile = 30,
        DownloadFile = 40,
        ReadResult = 70,
    };
    // TransferResult besides 0 (the unit said OK) and the unit's error numbers
    // 1 to 10. After a time-out nothing more is sent: the unit may still be
    // inside the transfer, and would take a command for part of it.
    enum : int { ResultTimedOut = 100, ResultUnreadable = 101, ResultUnknown = 102 };
    // Error state: the local file cannot be sent; nothing was said to the unit.
    enum : int { LocalFileRefused = 250 };

    QString FileName; // on the unit; empty when nothing is recorded
    QString LocalFilePath; // the computer's file to send, set by the transfer flow
    int Length = 0; // bytes; 8000 per second of sound
    // Set by the transfer window: starts the YModem transfer (main thread).
    std::function<void()> TransferStartHook;
    int TransferResult = 0;

    bool Process() override;
    bool NeedsMainThread() override;
    void GetP() override;
    // Name, duration and size in the name cell and the two to its right.
    void Output() override;
    QString GetText() override;

    virtual void DownloadRequest();
    virtual void DownloadTransfer();
    virtual void ConfirmDelete();
    virtual void Clear();
    virtual void UploadRequest();
    virtual void UploadTransfer();

protected:
    // The message of an error state; empty for a state that has none.
    QString ErrorText(int state) const override;
    // The reply line after a delete: "OK" reads the file back, anything else
    // goes to the error state for it (errorBase: "ERROR", errorBase + 1: other).
    void CheckReply(const QByteArray& reply, int errorBase);

private:
    // False, with the refusal state set, when LocalFilePath cannot be sent.
    bool LocalFileSendable();
    void StartTransfer();
    void ReadTransferResult();
    void ReportTransferResult();

    QString m_localFileError; // the text of LocalFileRefused
};
