#include "FaultRig.h"

#include "serial/SpDeviceNames.h"
#include "session/AAMenu.h"
#include "window/Unit1.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QStringDecoder>
#include <QtTest>

#include <csignal>

namespace TestSupport {

TKillOnSend::TKillOnSend(qint64 pid, const QByteArray& trigger, int count)
    : m_pid(pid), m_trigger(trigger), m_left(count)
{
    FormComm()->SetLineTap(this);
}

TKillOnSend::~TKillOnSend()
{
    FormComm()->SetLineTap(nullptr);
}

void TKillOnSend::Sent(const QByteArray& bytes)
{
    if (m_fired.load() || !bytes.contains(m_trigger) || --m_left > 0)
        return;
    ::kill(pid_t(m_pid), SIGKILL);
    m_fired.store(true);
}

namespace {

QString newFolder()
{
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/parlotel-faults-XXXXXX"));
    dir.setAutoRemove(false);
    return dir.path();
}

} // namespace

TFaultRig::TFaultRig(const QStringList& unitArgs) : TFaultRig(newFolder(), unitArgs)
{
}

TFaultRig::TFaultRig(const QString& folder, const QStringList& unitArgs)
    : TWindowRig(QStringList{QStringLiteral("--state"), folder + QStringLiteral("/unit.json")} + unitArgs),
      m_folder(folder)
{
}

TFaultRig::~TFaultRig()
{
    Window.reset();
    Unit.reset();
    QDir(m_folder).removeRecursively();
}

bool TFaultRig::KillUnit()
{
    ::kill(pid_t(Unit->Pid()), SIGKILL);
    Unit->WaitForExit(10000);
    // The program learns of it from its port, in the main thread.
    return QTest::qWaitFor([] { return FormComm()->LineLost() || !FormComm()->SpComm1.IsOpen(); }, 10000);
}

bool TFaultRig::RestartUnit(const QStringList& unitArgs)
{
    Unit = std::make_unique<TUnitProcess>(QStringList{QStringLiteral("--baud"), QStringLiteral("0"),
                                                      QStringLiteral("--state"), StateFile()} + unitArgs);
    spOverrideDevice(1, Unit->Pty());
    return Started();
}

bool TFaultRig::StaysUsable()
{
    Sink.Clear();
    if (Window->Session()->Level != TAAMenu::lvOff) {
        Window->btnDisconnect->click();
        if (!Settle())
            return false;
    }
    // The connect reads the page on show: the numbers.
    Window->PageControl1->setCurrentWidget(Window->tbsNumbers);
    Window->edtAdmPwd->clear();
    if (!Connect(QStringLiteral("1234")))
        return false;
    const bool read = Window->edtAdmPwd->text() == QStringLiteral("1111");
    if (!read || Sink.Log() != QStringList{QStringLiteral("P")})
        qWarning() << "after the fault:" << Sink.Log() << Window->edtAdmPwd->text();
    return read && Sink.Log() == QStringList{QStringLiteral("P")};
}

QString TFaultRig::PortGone() const
{
    return QStringLiteral("E: COM1: Не удалось открыть порт.\nSpecified device not found (%1).").arg(Unit->Pty());
}

bool TFaultRig::Fault(const QByteArray& line)
{
    return Unit->Control(line) == "ok " + line;
}

QString UnitText(const QByteArray& bytes)
{
    return QStringDecoder("windows-1251").decode(bytes);
}

} // namespace TestSupport
