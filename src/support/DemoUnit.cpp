#include "DemoUnit.h"

#include "DemoLine.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

constexpr int StartMs = 10000;
constexpr int StopMs = 3000;

} // namespace

TDemoUnit::~TDemoUnit()
{
    Stop();
}

QString TDemoUnit::FindExecutable(const QString& programFolder)
{
    const QString name = DemoUnitFileName();
    const QDir here(programFolder);
    for (const QString& candidate : {here.filePath(name), here.filePath(QStringLiteral("../emulator/") + name)}) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isExecutable())
            return info.canonicalFilePath();
    }
    return QStandardPaths::findExecutable(name);
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
        return Fail(QStringLiteral("%1 не найден.").arg(DemoUnitFileName()));
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
    const QStringList arguments = DemoUnitLineArguments()
        + QStringList{QStringLiteral("--state"), state, QStringLiteral("--baud"), QString::number(baud)};
    if (!m_process.Start(executable, arguments, options))
        return Fail(m_process.ErrorText());
    // The unit's first line names what to open: its pseudo-terminal, or its address.
    m_device = QString::fromLocal8Bit(m_process.ReadLine(StartMs)).trimmed();
    if (m_device.isEmpty())
        return Fail(QStringLiteral("%1 не сообщил свое устройство (%2).").arg(DemoUnitFileName(), options.ErrorFile));
    return true;
}

void TDemoUnit::Stop()
{
    // The unit ends when its standard input closes; signals only if it does not.
    m_process.Stop(StopMs);
}
