#include "SpTelnet.h"

#include <cerrno>

namespace {

QByteArray Byte(int value)
{
    return QByteArray(1, char(uint8_t(value)));
}

} // namespace

TSpTelnet::TSpTelnet()
{
    for (const uint8_t option : {optBinary, optSga, optComPort})
        m_local[option].Supported = true;
    for (const uint8_t option : {optBinary, optSga})
        m_remote[option].Supported = true;
    for (const uint8_t option : {optBinary, optSga, optComPort}) {
        m_local[option].Asked = true;
        Reply(WILL, option);
    }
    for (const uint8_t option : {optBinary, optSga}) {
        m_remote[option].Asked = true;
        Reply(DO, option);
    }
}

int TSpTelnet::Receive(const uint8_t* in, int count, uint8_t* data)
{
    int out = 0;
    for (int i = 0; i < count; ++i) {
        const uint8_t b = in[i];
        switch (m_state) {
        case sData:
            if (b == IAC)
                m_state = sIac;
            else
                data[out++] = b;
            break;
        case sIac:
            if (b == IAC) {
                data[out++] = b;
                m_state = sData;
            } else if (b >= WILL && b <= DONT) {
                m_verb = b;
                m_state = sVerb;
            } else if (b == SB) {
                m_state = sSub;
            } else {
                m_state = sData; // NOP, GA, AYT and the like carry nothing for the line
            }
            break;
        case sVerb:
            Negotiate(m_verb, b);
            m_state = sData;
            break;
        // Sub-negotiations are the server's answers to our COM port commands
        // (command + 100) and its line and modem state notifications: none
        // changes what the line carries, so they are read to their end and
        // dropped, whatever their length.
        case sSub:
            if (b == IAC)
                m_state = sSubIac;
            break;
        case sSubIac:
            if (b == IAC) {
                m_state = sSub;
            } else if (b == SE) {
                m_state = sData;
            } else {
                // A command inside a sub-negotiation ends it unfinished; the
                // command is read as if it stood alone.
                m_state = sIac;
                --i;
            }
            break;
        }
    }
    return out;
}

void TSpTelnet::Reply(uint8_t verb, uint8_t option)
{
    m_out += char(IAC);
    m_out += char(verb);
    m_out += char(option);
}

// Each side's state changes only on the far end's word, and a request is
// answered only when it changes something: no negotiation loops (RFC 854).
void TSpTelnet::Negotiate(uint8_t verb, uint8_t option)
{
    const bool local = verb == DO || verb == DONT;
    const bool enable = verb == DO || verb == WILL;
    TOption& o = local ? m_local[option] : m_remote[option];
    const uint8_t yes = local ? WILL : DO;
    const uint8_t no = local ? WONT : DONT;
    const bool asked = o.Asked;
    o.Asked = false;
    if (enable && !o.Supported) {
        Reply(no, option);
        return;
    }
    if (enable != o.Enabled) {
        o.Enabled = enable;
        if (!asked)
            Reply(enable ? yes : no, option);
    }
    if (local && option == optComPort) {
        if (enable && m_comPort != cpAgreed)
            ComPortAgreed();
        else if (!enable && m_comPort != cpRefused)
            ComPortRefused();
    }
}

void TSpTelnet::ComPortAgreed()
{
    // Said once per connection: a server that takes the option back and
    // gives it again must not make every such turn cost more answers than
    // the turn itself (commands after it go out as they come).
    const bool first = m_comPort == cpAsked;
    m_comPort = cpAgreed;
    if (!first)
        return;
    // The line's state changes are of no use to this program: asked not to
    // be told, and ignored if told all the same.
    Command(cpSetLinestateMask, Byte(0));
    Command(cpSetModemstateMask, Byte(0));
    m_out += m_held;
    m_held.clear();
}

void TSpTelnet::ComPortRefused()
{
    const bool wasAgreed = m_comPort == cpAgreed;
    m_comPort = cpRefused;
    m_held.clear();
    if (!wasAgreed)
        m_noticeDue = true;
}

void TSpTelnet::Command(uint8_t command, const QByteArray& value)
{
    m_out += char(IAC);
    m_out += char(SB);
    m_out += char(optComPort);
    m_out += char(command);
    for (const char c : value) {
        m_out += c;
        if (uint8_t(c) == IAC)
            m_out += c;
    }
    m_out += char(IAC);
    m_out += char(SE);
}

void TSpTelnet::CommandOrHold(uint8_t command, const QByteArray& value)
{
    if (m_comPort == cpAgreed) {
        Command(command, value);
    } else if (m_comPort == cpAsked) {
        const QByteArray out = std::exchange(m_out, QByteArray());
        Command(command, value);
        m_held += std::exchange(m_out, out);
    }
}

void TSpTelnet::EncodeData(const uint8_t* data, int count)
{
    m_out.reserve(m_out.size() + count);
    for (int i = 0; i < count; ++i) {
        m_out += char(data[i]);
        if (data[i] == IAC)
            m_out += char(IAC);
    }
}

int TSpTelnet::SetLine(const TSpLineSettings& s)
{
    static const uint8_t parity[] = {1, 2, 3, 4, 5};  // none, odd, even, mark, space
    static const uint8_t stopSize[] = {1, 3, 2};      // one, one and a half, two
    if (s.BitRate <= 0 || s.DataBits < 5 || s.DataBits > 8 || s.Parity < 0 || s.Parity > 4 || s.StopBits < 0
        || s.StopBits > 2)
        return EINVAL;
    const uint32_t rate = uint32_t(s.BitRate);
    const char baud[] = {char(rate >> 24), char(rate >> 16), char(rate >> 8), char(rate)};
    CommandOrHold(cpSetBaudrate, QByteArray(baud, 4));
    CommandOrHold(cpSetDatasize, Byte(s.DataBits));
    CommandOrHold(cpSetParity, Byte(parity[s.Parity]));
    CommandOrHold(cpSetStopsize, Byte(stopSize[s.StopBits]));
    // Outbound flow control: 1 none, 2 XON/XOFF, 3 hardware.
    CommandOrHold(cpSetControl, Byte(s.HardwareFlow ? 3 : s.XonXoffOut ? 2 : 1));
    return 0;
}

void TSpTelnet::SetModemLines(int lines, bool on)
{
    if (lines & TSpDevice::mlDtr)
        CommandOrHold(cpSetControl, Byte(on ? 8 : 9));
    if (lines & TSpDevice::mlRts)
        CommandOrHold(cpSetControl, Byte(on ? 11 : 12));
}

void TSpTelnet::Purge(int what)
{
    const bool input = what & (TSpDevice::puAbortRead | TSpDevice::puClearInput);
    const bool output = what & (TSpDevice::puAbortWrite | TSpDevice::puClearOutput);
    if (input || output)
        CommandOrHold(cpPurgeData, Byte(input && output ? 3 : input ? 1 : 2));
}

QByteArray TSpTelnet::TakeOutput()
{
    return std::exchange(m_out, QByteArray());
}

QString TSpTelnet::TakeNotice()
{
    if (!std::exchange(m_noticeDue, false))
        return {};
    return QStringLiteral("the server refused the COM port option: the line runs as the server set it");
}
