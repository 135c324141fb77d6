#include "SpYModemThread.h"

#include "SpCrc16.h"
#include "serial/SpSync.h"
#include "support/CodePage.h"

#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

constexpr uint8_t SOH = 0x01;
constexpr uint8_t STX = 0x02;
constexpr uint8_t EOT = 0x04;
constexpr uint8_t ACK = 0x06;
constexpr uint8_t NAK = 0x15;
constexpr uint8_t CAN = 0x18;
constexpr uint8_t StartCrc = 'C';
constexpr uint8_t StartStream = 'G';
constexpr int HandshakeTries = 10;
constexpr int SenderCallMs = 10000;
// A 1K block crosses a 19200 bit/s line in about half a second; an answer that
// takes longer than this after a cancel is not coming.
constexpr int CancelAnswerMs = 2000;

uint8_t checksum(const uint8_t* data, int size)
{
    unsigned sum = 0;
    for (int i = 0; i < size; ++i)
        sum += data[i];
    return uint8_t(sum);
}

// Names travel in the unit's code page.
QByteArray toWire(const QString& text)
{
    return ToCp1251(text);
}

QString fromWire(const QByteArray& bytes)
{
    return FromCp1251(bytes);
}

} // namespace

QString spBareFileName(const QString& path)
{
    const qsizetype cut = std::max({path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'), path.lastIndexOf(u':')});
    return path.mid(cut + 1);
}

QString spSafeFileName(const QString& name)
{
    QString bare = spBareFileName(name);
    for (QChar& c : bare)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = u'_';
    if (bare.isEmpty() || bare == u"." || bare == u"..")
        return QStringLiteral("unnamed");
    return bare;
}

QString spFreeFileName(const QString& path)
{
    auto taken = [](const QString& p) {
        const QFileInfo info(p);
        return info.exists() || info.isSymLink();
    };
    if (!taken(path))
        return path;
    const qsizetype nameStart = path.size() - spBareFileName(path).size();
    const qsizetype dot = path.lastIndexOf(u'.');
    const qsizetype split = dot > nameStart ? dot : path.size();
    for (int n = 1;; ++n) {
        const QString candidate = path.left(split) + u'-' + QString::number(n) + path.mid(split);
        if (!taken(candidate))
            return candidate;
    }
}

// ---- block engine ----

TSpXYModemThread::TSpXYModemThread(TSpXYModem& owner) : TSpProtocolThread(owner), m_xy(owner) {}

void TSpXYModemThread::SendCancel()
{
    // A receiver still taking in the block (or EOT) just sent would read the
    // cancel as part of it, or drop it with the rest of its input once it has
    // answered (lrzsz's rb does, and then waits for the next block): the cancel
    // goes out after the answer, when the receiver listens for a lead byte.
    AwaitOwedAnswer(CancelAnswerMs);
    const uint8_t cancel[2] = {CAN, CAN};
    SendBytes(cancel, 2);
}

void TSpXYModemThread::ReportFile(const QString& name, qint64 size)
{
    RaiseInMainThread([&] { m_xy.RaiseFileInfo(name, size); });
}

void TSpXYModemThread::ReportPacket(int packet, qint64 byteCount)
{
    // Posted: the next block goes out without waiting for the window.
    PostToMainThread([this, packet, byteCount] { m_xy.RaisePacket(packet, byteCount); });
}

uint8_t TSpXYModemThread::WaitStartChar()
{
    for (int i = 0; i < HandshakeTries; ++i) {
        const int b = ReadByte();
        if (b == NAK || b == StartCrc || b == StartStream)
            return uint8_t(b);
        if (b == CAN)
            Finish(ecRemoteCancel); // a receiver that refuses the batch
        CountError(erBadByte, false);
    }
    Finish(ecProtocol);
}

void TSpXYModemThread::SendBlock(int number, int size, uint8_t startChar)
{
    // The whole block goes to the port in one write.
    uint8_t frame[3 + 1024 + 2];
    frame[0] = size == 128 ? SOH : STX;
    frame[1] = uint8_t(number);
    frame[2] = uint8_t(255 - uint8_t(number));
    std::memcpy(frame + 3, m_block, size_t(size));
    int length = 3 + size;
    if (startChar == NAK) {
        frame[length++] = checksum(m_block, size);
    } else {
        const uint16_t crc = spCrc16(0, m_block, size_t(size));
        frame[length++] = uint8_t(crc >> 8);
        frame[length++] = uint8_t(crc);
    }
    for (;;) {
        if (Cancelled()) {
            SendCancel();
            Finish(ecCancelled);
        }
        SendBytes(frame, length);
        if (startChar == StartStream) {
            if (PeekByte() == CAN)
                Finish(ecRemoteCancel);
            return;
        }
        ExpectAnswer();
        switch (ReadByte()) {
        case ACK:
            return;
        case NAK:
            CountError(erBadBlock, true);
            break;
        case CAN:
            Finish(ecRemoteCancel);
        default:
            Finish(ecProtocol);
        }
    }
}

void TSpXYModemThread::SendEot()
{
    for (int i = 0; i < HandshakeTries; ++i) {
        SendByte(EOT);
        ExpectAnswer();
        const int b = ReadByte();
        if (b == ACK)
            return;
        if (b == CAN)
            Finish(ecRemoteCancel);
        CountError(erBadByte, false);
    }
    Finish(ecProtocol);
}

void TSpXYModemThread::SendFile(const QString& path)
{
    ReportFile(path, File().size());
    const uint8_t startChar = WaitStartChar();
    const int blockSize = startChar == NAK ? 128 : 1024;
    // An empty file ends at once: a block of padding would be stored as data
    // by receivers that do not trust a declared size of 0.
    for (int n = 1; !AtEndOfFile(); ++n) {
        std::memset(m_block, 0, sizeof m_block);
        const qint64 got = File().read(reinterpret_cast<char*>(m_block), blockSize);
        // Nothing read short of the end means the file shrank or failed.
        if (got <= 0) {
            SendCancel();
            Finish(ecReadFailed);
        }
        SendBlock(n, blockSize, startChar);
        ReportPacket(n, File().pos());
    }
    // The receiver holds every byte: a cancel now waits for the batch's end.
    HoldCancel(true);
    SendEot();
    CloseFile();
}

void TSpXYModemThread::SendStart(uint8_t startChar)
{
    for (int i = 0; i < HandshakeTries; ++i) {
        SendByte(startChar);
        if (WaitForData(SenderCallMs))
            return;
        if (Cancelled())
            break; // the handshake never completed: same ending as no answer
        CountError(erTimeout, false);
    }
    Finish(ecNoSender);
}

bool TSpXYModemThread::ReadBlockBody(int size, bool crc, int& number)
{
    number = ReadByte();
    const int complement = ReadByte();
    std::memset(m_block, 0, sizeof m_block);
    for (int i = 0; i < size; ++i)
        m_block[i] = uint8_t(ReadByte());
    bool checkOk;
    if (crc) {
        const int high = ReadByte();
        const int low = ReadByte();
        checkOk = spCrc16(0, m_block, size_t(size)) == uint16_t((high << 8) | low);
    } else {
        checkOk = checksum(m_block, size) == ReadByte();
    }
    // A damaged complement means the number itself cannot be trusted: ask
    // again rather than judge the sequence on it.
    return checkOk && complement == 255 - number;
}

int TSpXYModemThread::ReceiveBlock(int expected, uint8_t startChar)
{
    for (;;) {
        int size = 0;
        switch (ReadByte()) {
        case SOH: size = 128; break;
        case STX: size = 1024; break;
        case EOT: SendByte(ACK); return EndOfFile;
        case CAN: Finish(ecRemoteCancel);
        case '\r':
        case '\n':
            // The unit ends its "START" line as the sender's first block
            // follows; what trails into the wait for a header is no block.
            if (expected == 0)
                continue;
            Finish(ecProtocol);
        default: Finish(ecProtocol);
        }
        int number = 0;
        if (!ReadBlockBody(size, startChar != NAK, number)) {
            CountError(erBadBlock, true);
            SendByte(NAK);
            continue;
        }
        if (number == (expected & 0xFF))
            return size;
        // The sender did not see our ACK and sent the block just stored again.
        if (expected > 0 && number == ((expected - 1) & 0xFF)) {
            if (startChar != StartStream)
                SendByte(ACK);
            continue;
        }
        SendCancel();
        Finish(ecProtocol);
    }
}

void TSpXYModemThread::ReceiveFile(const QString& wanted, qint64 size, uint8_t startChar)
{
    const QString path = spFreeFileName(wanted);
    CreateForReceiving(path);
    ReportFile(path, size);
    bool whole = false;
    const auto wholeWhen = [&](bool done) {
        if (!done || std::exchange(whole, true))
            return;
        HoldCancel(true);
        FileWhole(path);
    };
    wholeWhen(size == 0);
    SendByte(startChar);
    for (int n = 1;; ++n) {
        const int got = ReceiveBlock(n, startChar);
        if (got == EndOfFile)
            break;
        // The declared size trims the padding of the last block.
        const qint64 due = size == SizeUnknown ? got : std::clamp<qint64>(size - File().pos(), 0, got);
        if (due > 0 && File().write(reinterpret_cast<const char*>(m_block), due) != due) {
            SendCancel();
            Finish(ecWriteFailed);
        }
        ReportPacket(n, File().pos());
        wholeWhen(size != SizeUnknown && File().pos() >= size);
        if (startChar != StartStream)
            SendByte(ACK);
    }
    // The sender ended the file before the size it declared: blocks are missing.
    if (size != SizeUnknown && !whole) {
        SendCancel();
        Finish(ecProtocol);
    }
    wholeWhen(true);
    CloseFile();
}

// ---- batch level ----

TSpYModemThread::TSpYModemThread(TSpYModem& owner)
    : TSpXYModemThread(owner)
    , m_ymodem(owner)
    , m_files(owner.Files)
    , m_folder(owner.TargetFolder().isEmpty() || owner.TargetFolder().endsWith(u'/')
                   ? owner.TargetFolder()
                   : owner.TargetFolder() + u'/')
    , m_startChar(owner.Protocol() == YModemG ? StartStream : StartCrc)
{
}

void TSpYModemThread::SendHeader(const QString& path, uint8_t startChar)
{
    QByteArray header = toWire(spBareFileName(path));
    header += '\0';
    header += QByteArray::number(File().size());
    std::memset(m_block, 0, sizeof m_block);
    std::memcpy(m_block, header.constData(), size_t(std::min<qsizetype>(header.size(), 128)));
    SendBlock(0, 128, startChar);
}

void TSpYModemThread::SendBatch()
{
    for (const QString& path : m_files) {
        // A cancel asked before the receiver calls for the header goes out
        // after the call: lrzsz drops what arrives before it (and a cancel
        // held since the last file ends the transfer before this one).
        HoldCancel(true);
        // Opened before anything is offered: a file that cannot be read is
        // reported at once and the receiver never sees its header.
        OpenForSending(path);
        const uint8_t startChar = WaitStartChar();
        HoldCancel(false);
        SendHeader(path, startChar);
        SendFile(path);
    }
    if (m_files.isEmpty())
        return;
    const uint8_t startChar = WaitStartChar();
    std::memset(m_block, 0, sizeof m_block);
    SendBlock(0, 128, startChar);
}

void TSpYModemThread::ParseHeader(int size, QString& name, qint64& declared) const
{
    const auto* begin = reinterpret_cast<const char*>(m_block);
    const qsizetype nameLength = qstrnlen(begin, uint(size));
    name = spSafeFileName(fromWire(QByteArray(begin, nameLength)));
    declared = 0;
    int digits = 0;
    for (qsizetype i = nameLength + 1; i < size && m_block[i] >= '0' && m_block[i] <= '9'; ++i, ++digits) {
        declared = declared * 10 + (m_block[i] - '0');
        if (declared > SizeUnknown)
            break;
    }
    if (digits == 0 || declared > SizeUnknown)
        declared = SizeUnknown;
}

void TSpYModemThread::ReceiveBatch()
{
    for (;;) {
        SendStart(m_startChar);
        int size = ReceiveBlock(0, StartCrc);
        // An EOT already acknowledged, sent again: call for the header again.
        if (size == EndOfFile)
            continue;
        if (m_block[0] == 0) {
            if (m_startChar != StartStream)
                SendByte(ACK);
            return;
        }
        // Another file begins: a cancel held since the last one ends the transfer now.
        HoldCancel(false);
        QString name;
        qint64 declared = 0;
        ParseHeader(size, name, declared);
        if (m_startChar != StartStream)
            SendByte(ACK);
        ReceiveFile(m_folder + name, declared, m_startChar);
    }
}

void TSpYModemThread::FileWhole(const QString& path)
{
    spSynchronize([&] { m_ymodem.Files.append(path); });
}
