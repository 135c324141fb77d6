// The Telnet layer of the network device under an arbitrary server. The first
// byte of the input picks how the stream is cut into reads; the rest is what
// the server sends. The stream fed whole and fed cut must give the same data,
// the same answers and the same state of the COM port option; the answers
// must not outgrow what asked for them (no negotiation loop); and the data,
// sent back through the encoder, must come out of a fresh decoder unchanged.
#include "FuzzSupport.h"
#include "FuzzTargets.h"
#include "serial/SpTelnet.h"

#include <cstdio>

namespace Fuzz {
namespace {

// What a fresh layer makes of the bytes: data, then the answers, in order.
struct TDecoded {
    QByteArray Data;
    QByteArray Answers;
    TSpTelnet::TComPort ComPort = TSpTelnet::cpAsked;
};

QByteArray receive(TSpTelnet& telnet, const QByteArray& bytes)
{
    QByteArray data(bytes.size(), '\0');
    data.resize(telnet.Receive(reinterpret_cast<const uint8_t*>(bytes.constData()), int(bytes.size()),
                               reinterpret_cast<uint8_t*>(data.data())));
    return data;
}

TDecoded decode(const QByteArray& stream, uint8_t cuts)
{
    TSpTelnet telnet;
    telnet.TakeOutput(); // the opening offers
    TDecoded out;
    qsizetype at = 0;
    for (int i = 0; at < stream.size(); ++i) {
        // cuts 0: the whole stream at once; else pieces of 1 to 9 bytes.
        const qsizetype piece = cuts == 0 ? stream.size() : 1 + (cuts + i * 7) % 9;
        out.Data += receive(telnet, stream.mid(at, piece));
        out.Answers += telnet.TakeOutput();
        at += piece;
    }
    out.ComPort = telnet.ComPort();
    return out;
}

} // namespace

void TelnetReceive(const uint8_t* data, size_t size)
{
    TInput input(data, size);
    const uint8_t cuts = input.Byte();
    const QByteArray stream = input.Rest();
    const TDecoded whole = decode(stream, 0);
    const TDecoded cut = decode(stream, cuts);
    Check(cut.Data == whole.Data, "the data depends on how the reads were cut");
    Check(cut.Answers == whole.Answers, "the answers depend on how the reads were cut");
    Check(cut.ComPort == whole.ComPort, "the COM port option depends on how the reads were cut");
    Check(whole.Data.size() <= stream.size(), "more data than bytes received");
    // Each request of three bytes earns at most three; agreeing to the COM port
    // option adds the two mask commands of seven bytes each.
    Check(whole.Answers.size() <= stream.size() + 14, "the answers outgrow the requests");

    TSpTelnet sender;
    sender.TakeOutput();
    sender.EncodeData(reinterpret_cast<const uint8_t*>(whole.Data.constData()), int(whole.Data.size()));
    TSpTelnet receiver;
    Check(receive(receiver, sender.TakeOutput()) == whole.Data, "data sent does not come back as it was");
    if (Verbose())
        std::fprintf(stderr, "telnet: %lld bytes, %lld data, %lld answered\n", (long long)stream.size(),
                     (long long)whole.Data.size(), (long long)whole.Answers.size());
}

} // namespace Fuzz
