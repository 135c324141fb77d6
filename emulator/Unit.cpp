#include "Unit.h"

#include "ParameterRules.h"
#include "UnitText.h"

#include <cstdio>

TUnit::TUnit(const TUnitOptions& options)
    : m_options(options), m_faults(options.Faults), m_line(options.BitRate, m_faults, m_log)
{
}

TUnit::~TUnit()
{
    m_dialogue.reset(); // stops a running lrzsz first
    ReportCounts();
}

bool TUnit::Start(QString& error)
{
    if (!m_log.Open(m_options.LogFile, error) || !m_signals.Install(error) || !m_state.Open(m_options.StateFile, error)
        || !ApplyPasswords(error))
        return false;
    QString path = m_options.Device;
    const bool opened = m_options.Pty ? m_line.OpenPty(path, error)
        : !m_options.TcpHost.isEmpty() ? m_line.Listen(m_options.TcpHost, m_options.TcpPort, path, error)
                                       : m_line.OpenDevice(m_options.Device, error);
    if (!opened)
        return false;
    if (m_options.Device.isEmpty()) {
        std::printf("%s\n", qPrintable(path));
        std::fflush(stdout);
    }
    m_log.Note(QStringLiteral("serving %1").arg(path));
    m_dialogue = std::make_unique<TUnitDialogue>(
        m_state, m_line, m_faults, m_log,
        TDialogueSettings{m_options.CrLf, m_options.TransferTimeoutMs, m_options.ResultDelayMs, m_options.Peer});
    m_control = std::make_unique<TControlChannel>(m_faults, m_log, [this] { return Counts(); });
    connect(&m_line, &TUnitLine::Received, m_dialogue.get(), &TUnitDialogue::Receive);
    connect(&m_line, &TUnitLine::Lost, this, [this](const QString& reason) {
        std::fprintf(stderr, "parlotel-unit: line lost: %s\n", qPrintable(reason));
        emit Stopped(1);
    });
    connect(m_control.get(), &TControlChannel::Closed, this, [this] { emit Stopped(0); });
    connect(&m_signals, &TSignalWatch::Terminate, this, [this] { emit Stopped(0); });
    connect(&m_signals, &TSignalWatch::Report, this, &TUnit::ReportCounts);
    return true;
}

bool TUnit::ApplyPasswords(QString& error)
{
    const std::pair<int, QString> passwords[] = {{0, m_options.SystemPassword}, {104, m_options.AdminPassword}};
    for (const auto& [code, password] : passwords) {
        if (password.isEmpty())
            continue;
        const QByteArray value = ToUnitBytes(password);
        if (!FindParamRule(code)->Accepts(value)) {
            error = QStringLiteral("a password is 1 to 8 digits: %1").arg(password);
            return false;
        }
        m_state.SetParam(code, value);
    }
    return m_state.Save();
}

QByteArray TUnit::Counts() const
{
    return "sent=" + QByteArray::number(m_line.BytesSent()) + " received=" + QByteArray::number(m_line.BytesReceived());
}

void TUnit::ReportCounts()
{
    const QByteArray counts = Counts();
    m_log.Note(QStringLiteral("bytes ") + QString::fromLatin1(counts));
    std::fprintf(stderr, "parlotel-unit: bytes %s\n", counts.constData());
}
