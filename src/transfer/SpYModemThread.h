#pragma once
// The YModem engine on top of the transfer frame. TSpXYModemThread moves single
// blocks and single files (start-character and end-of-file handshakes, 128- and
// 1024-byte blocks, checksum or CRC-16, streaming with 'G'); TSpYModemThread is
// the batch level: header blocks with name and size, the file list and the end
// of the batch.

#include "SpProtocolThread.h"

#include <QStringList>

#include <cstdint>

class TSpXYModemThread : public TSpProtocolThread {
public:
    explicit TSpXYModemThread(TSpXYModem& owner);

protected:
    // Returned by ReceiveBlock when the sender ended the file (EOT, acknowledged).
    static constexpr int EndOfFile = -1;
    // Declared size of a header without digits: write every block whole.
    static constexpr qint64 SizeUnknown = 2147483647;

    // Sender side.
    uint8_t WaitStartChar();
    void SendBlock(int number, int size, uint8_t startChar);
    void SendEot();
    // The data phase of the file already opened with OpenForSending.
    void SendFile(const QString& path);

    // Receiver side.
    void SendStart(uint8_t startChar);
    int ReceiveBlock(int expected, uint8_t startChar);
    // Stores under path, or under the first free numbered name beside it. The
    // file is whole once every byte of its declared size has arrived (a size
    // not declared: at the sender's end of file); FileWhole is called then, even
    // if the transfer fails afterwards. An end of file short of the declared
    // size ends the transfer with ecProtocol.
    void ReceiveFile(const QString& path, qint64 size, uint8_t startChar);
    virtual void FileWhole(const QString& path) = 0;

    void ReportFile(const QString& name, qint64 size);
    void ReportPacket(int packet, qint64 byteCount);
    void SendCancel() override;

    uint8_t m_block[1024] = {};

private:
    // Reads the rest of a block after its lead byte; true when the number,
    // its complement and the check agree.
    bool ReadBlockBody(int size, bool crc, int& number);

    TSpXYModem& m_xy;
};

class TSpYModemThread final : public TSpXYModemThread {
public:
    explicit TSpYModemThread(TSpYModem& owner);

protected:
    void SendBatch() override;
    void ReceiveBatch() override;
    void FileWhole(const QString& path) override;

private:
    void SendHeader(const QString& path, uint8_t startChar);
    // Name and declared size from the header in the block buffer.
    void ParseHeader(int size, QString& name, qint64& declared) const;

    TSpYModem& m_ymodem;
    const QStringList m_files;
    const QString m_folder;
    const uint8_t m_startChar;
};

// The bare file name of a path written by any system: everything up to the
// last "/", "\" or ":" is dropped.
QString spBareFileName(const QString& path);
// A received name made safe to store: its bare name, control characters
// replaced by "_", and "unnamed" for a name that is empty, "." or "..".
QString spSafeFileName(const QString& name);
// path when nothing is there, else name-1.ext, name-2.ext … beside it.
QString spFreeFileName(const QString& path);
