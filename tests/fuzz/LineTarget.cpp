// The line exchange under arbitrary bursts. The head of the input is a script
// of up to eight primitive calls (kind, text); the rest is what the unit sends,
// burst by burst, whenever a call waits. A plain model of the receive buffer
// (line feeds dropped, the first match cut with at most 999 bytes kept after
// it, everything discarded before an echo is awaited) must agree with the
// program after every call.
#include "FuzzSupport.h"
#include "FuzzTargets.h"
#include "session/Server.h"

#include <vector>

namespace Fuzz {
namespace {

enum TKind { Echo, Wait, Read };

struct TCall {
    TKind Kind;
    QByteArray Text;
};

std::vector<TCall> readScript(TInput& input)
{
    std::vector<TCall> calls(1 + input.Byte() % 8);
    for (TCall& call : calls) {
        call.Kind = TKind(input.Byte() % 3);
        call.Text = input.Take(input.Byte() % 12);
    }
    return calls;
}

class TScriptJob : public TJoint {
public:
    TScriptJob(TFormComm& comm, TFarEnd& farEnd, std::vector<TCall> calls)
        : m_comm(comm), m_farEnd(farEnd), m_calls(std::move(calls))
    {
        m_farEnd.OnDeliver = [this](const QByteArray& burst) {
            for (char c : burst)
                if (c != '\n')
                    m_model += c;
        };
    }

    bool Process() override
    {
        for (const TCall& call : m_calls)
            Run(call);
        return true;
    }

private:
    void Run(const TCall& call)
    {
        QByteArray through = call.Text;
        int result;
        switch (call.Kind) {
        case Echo: {
            m_model.clear();
            const qsizetype sentBefore = m_farEnd.SentBytes.size();
            result = m_comm.SendAndWaitEcho(call.Text, 1000);
            Check(m_farEnd.SentBytes.mid(sentBefore) == call.Text, "the echoed line was not sent once, whole");
            break;
        }
        case Wait: result = m_comm.WaitForText(call.Text, 1000); break;
        case Read: result = m_comm.ReadThrough(through, 1000); break;
        }
        const qsizetype at = m_model.indexOf(call.Text);
        Check((result == wrFound) == (at >= 0), "a wait disagrees with what was received");
        if (at >= 0) {
            const qsizetype end = at + call.Text.size();
            if (call.Kind == Read)
                Check(through == m_model.left(end), "ReadThrough gave other text than received through its terminator");
            m_model = m_model.mid(end, TFormComm::KeptAfterMatch);
        } else {
            Check(through == call.Text, "a failed ReadThrough changed its argument");
        }
        const QByteArray kept = m_comm.RxText();
        Check(!kept.contains('\n'), "a line feed was kept");
        Check(kept == m_model, "the receive buffer differs from what was received and not yet consumed");
    }

    TFormComm& m_comm;
    TFarEnd& m_farEnd;
    std::vector<TCall> m_calls;
    QByteArray m_model;
};

} // namespace

void LineExchange(const uint8_t* data, size_t size)
{
    static TCOMServer server;
    TQuietSink sink;
    SetMessageSink(&sink);
    TInput input(data, size);
    TFormComm comm;
    TFarEnd farEnd(comm, input);
    TScriptJob job(comm, farEnd, readScript(input));
    server.IdleEvent.Reset();
    server.Start(&job);
    if (!server.WaitIdle(HangLimitMs))
        Fail("the line exchange hung");
    SetMessageSink(nullptr);
}

} // namespace Fuzz
