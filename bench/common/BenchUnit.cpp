#include "BenchUnit.h"

#include <QRegularExpression>

#include <cstdio>

void TBenchSink::ShowMessage(TMsgKind, const QString& text)
{
    ++Boxes;
    std::fprintf(stderr, "box: %s\n", qPrintable(text));
}

bool TBenchSink::Confirm(const QString&, TConfirmButtons)
{
    return false;
}

TPasswordAnswer TBenchSink::AskPassword(QString& password)
{
    password = QStringLiteral("1234");
    return TPasswordAnswer::Entered;
}

bool TBenchUnit::Start(const QString& state, int bitRate)
{
    m_process.start(QStringLiteral(PARLOTEL_UNIT), {"--pty", "--baud", QString::number(bitRate), "--state", state});
    if (!m_process.waitForStarted(10000))
        return false;
    Device = QString::fromLocal8Bit(ReadLine()).trimmed();
    return !Device.isEmpty();
}

TBenchUnit::~TBenchUnit()
{
    m_process.closeWriteChannel();
    m_process.waitForFinished(5000);
}

qint64 TBenchUnit::Sent()
{
    m_process.write("count\n");
    static const QRegularExpression sent(QStringLiteral("sent=(\\d+)"));
    return sent.match(QString::fromLatin1(ReadLine())).captured(1).toLongLong();
}

QByteArray TBenchUnit::ReadLine()
{
    while (!m_process.canReadLine())
        if (!m_process.waitForReadyRead(10000))
            return {};
    return m_process.readLine();
}
