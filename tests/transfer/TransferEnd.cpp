#include "TransferEnd.h"

#include "serial/SpSync.h"

#include <QFile>

namespace TestSupport {

TTransferEnd::TTransferEnd(const QString& device)
{
    Port.SetDeviceName(device);
    Port.SetBaudrate(br19200);
    Port.Open();
    Modem.SetComm(&Port);
    Modem.OnError = [this](TSpProtocol*, int code, int count) { Errors.append({code, count}); };
    Modem.OnFileInfo = [this](TSpProtocol*, const QString& name, qint64 size) {
        FileNames.append(name);
        FileSizes.append(size);
    };
    Modem.OnPacketEvent = [this](TSpProtocol*, int packet, qint64 bytes) { Packets.append({packet, bytes}); };
    Modem.OnTransferEnd = [this](TSpProtocol*, int code) {
        ++Ends;
        Exit = code;
    };
}

bool TTransferEnd::WaitEnd(int timeoutMs)
{
    return spProcessMessagesUntil([this] { return Ends > 0; }, timeoutMs);
}

void TTransferEnd::Upload(const QStringList& files)
{
    Modem.SetMode(tmUpload);
    Modem.Files = files;
    Modem.StartTransfer();
}

void TTransferEnd::Download(const QString& folder)
{
    Modem.SetMode(tmDownload);
    Modem.SetTargetFolder(folder);
    Modem.StartTransfer();
}

QByteArray testPattern(qsizetype size, int seed)
{
    // Every byte value, with runs of NUL and 0x1A (the padding bytes), so that a
    // receiver that trims or pads wrongly shows it.
    QByteArray data(size, '\0');
    quint32 x = 2463534242u + quint32(seed);
    for (qsizetype i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        data[i] = (i % 997) < 40 ? char((i / 997) % 2 ? 0x1A : 0) : char(x);
    }
    return data;
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(path));
}

} // namespace TestSupport
