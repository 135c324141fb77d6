#pragma once
// One end of a test link: a port opened on a device and a YModem component
// riding on it, with every event it raises recorded.

#include "transfer/SpProtocol.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

namespace TestSupport {

class TTransferEnd {
public:
    explicit TTransferEnd(const QString& device);

    // Waits (serving the main thread) until OnTransferEnd was raised.
    bool WaitEnd(int timeoutMs = 60000);
    // Starts an upload of files, or a download into folder.
    void Upload(const QStringList& files);
    void Download(const QString& folder);

    TSpComm Port;
    TSpYModem Modem;

    QList<std::pair<int, int>> Errors; // code, count
    QStringList FileNames;
    QList<qint64> FileSizes;
    QList<std::pair<int, qint64>> Packets;
    int Ends = 0;
    int Exit = 1;
};

QByteArray testPattern(qsizetype size, int seed = 1);
QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& data);

} // namespace TestSupport
