#include "YModemPeer.h"

#include "TrafficLog.h"
#ifdef PARLOTEL_UNIT_ENGINE
#include "EnginePeer.h"
#endif
#ifdef PARLOTEL_UNIT_LRZSZ
#include "LrzszPeer.h"
#endif

QStringList TYModemPeer::Kinds()
{
    QStringList kinds;
#ifdef PARLOTEL_UNIT_LRZSZ
    kinds << QStringLiteral("lrzsz");
#endif
#ifdef PARLOTEL_UNIT_ENGINE
    kinds << QStringLiteral("engine");
#endif
    return kinds;
}

std::unique_ptr<TYModemPeer> TYModemPeer::Create(const QString& chosen, TTrafficLog& log, int silenceTimeoutMs)
{
    const QString kind = chosen.isEmpty() ? Kinds().value(0) : chosen;
#ifdef PARLOTEL_UNIT_LRZSZ
    if (kind == QLatin1String("lrzsz"))
        return std::make_unique<TLrzszPeer>(log, silenceTimeoutMs);
#endif
#ifdef PARLOTEL_UNIT_ENGINE
    if (kind == QLatin1String("engine"))
        return std::make_unique<TEnginePeer>(log, silenceTimeoutMs);
#endif
    Q_UNUSED(log)
    Q_UNUSED(silenceTimeoutMs)
    return nullptr;
}

TYModemPeer::TYModemPeer(TTrafficLog& log, int silenceTimeoutMs) : m_log(log)
{
    m_silence.setSingleShot(true);
    m_silence.setInterval(silenceTimeoutMs);
    connect(&m_silence, &QTimer::timeout, this, [this] {
        m_log.Note(QStringLiteral("transfer: the line stayed silent, stopping the transfer"));
        m_timedOut = true;
        Abandon();
    });
}

TYModemPeer::~TYModemPeer() = default;

void TYModemPeer::FromLine(const QByteArray& bytes)
{
    m_silence.start();
    Deliver(bytes);
}

void TYModemPeer::Started()
{
    m_timedOut = false;
    m_silence.start();
}

void TYModemPeer::Complete(TResult result)
{
    m_silence.stop();
    emit Finished(m_timedOut ? TimedOut : result);
}
