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
    // Without its state file the unit starts in its factory state, its
    // recordings included: the folder they are in is the unit's business.
    if (reset)
        QFile::remove(state);
    // The unit's own words (its byte counts when it ends, its complaints) go
    // into a log beside its state: the program's standard error is the user's.
    TChildOptions options;
    options.Errors = TChildErrors::ToFile;
    options.ErrorFile = QDir(folder).filePath(QStringLiteral("unit.log"));
    if (!m_process.Start(executable, {QStringLiteral("--pty"), QStringLiteral("--state"), state, QStringLiteral("--baud"),
                                      QString::number(baud)}, options))
        return Fail(m_process.ErrorText());
    // The unit's first line names its pseudo-terminal.
    m_device = QString::fromLocal8Bit(m_process.ReadLine(StartMs)).trimmed();
    if (m_device.isEmpty())
        return Fail(QStringLiteral("%1 не сообщил свое устройство (%2).").arg(UnitName, options.ErrorFile));
    return true;
}

void TDemoUnit::Stop()
{
    // The unit ends when its standard input closes; signals only if it does not.
    m_process.Stop(StopMs);
}
