#include "DemoUnit.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const QString UnitName = QStringLiteral("parlotel-unit");
constexpr int StartMs = 10000;
constexpr int StopMs = 3000;

} // namespace

TDemoUnit::~TDemoUnit()
{
    Stop();
}

QString TDemoUnit::FindExecutable(const QString& programFolder)
{
    const QDir here(programFolder);
    for (const QString& candidate : {here.filePath(UnitName), here.filePath(QStringLiteral("../emulator/") + UnitName)}) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isExecutable())
            return info.canonicalFilePath();
    }
    return QStandardPaths::findExecutable(UnitName);
}

bool TDemoUnit::Fail(const QString& text)
{
    m_error = text;
    Stop();
    return false;
}

bool TDemoUnit::Start(const QString& executable, const QString& folder, bool reset, int baud)
{
    if (executable.isEmpty())
        return Fail(QStringLiteral("%1 не найден.").arg(UnitName));
    if (!QDir().mkpath(folder))
        return Fail(QStringLiteral("Не удалось создать папку %1.").arg(folder));
    const QString state = QDir(folder).filePath(QStringLiteral("unit.json"));
    if (reset) {
        QFile::remove(state);
        QDir(state + QStringLiteral(".voice")).removeRecursively();
    }
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(executable, {QStringLiteral("--pty"), QStringLiteral("--state"), state, QStringLiteral("--baud"),
                                 QString::number(baud)});
    if (!m_process.waitForStarted(StartMs))
        return Fail(m_process.errorString());
    // The unit's first line names its pseudo-terminal.
    while (!m_process.canReadLine()) {
        if (m_process.state() != QProcess::Running || !m_process.waitForReadyRead(StartMs))
            return Fail(QStringLiteral("%1 не сообщил свое устройство.").arg(UnitName));
    }
    m_device = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    return true;
}

void TDemoUnit::Stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(StopMs)) {
        m_process.terminate();
        if (!m_process.waitForFinished(StopMs)) {
            m_process.kill();
            m_process.waitForFinished(StopMs);
        }
    }
}
