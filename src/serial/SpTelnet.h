#pragma once
// The client side of Telnet as a serial device server speaks it with the COM
// port option (RFC 2217): pure byte logic, no system calls, so that it can be
// fed anything (the fuzzer does).
//
// Received bytes go through Receive, which gives back the line's data bytes
// (0xFF undoubled, commands and sub-negotiations taken out, whatever way they
// were cut across reads) and queues the answers the negotiation needs. Data
// to send goes through EncodeData (0xFF doubled). The line settings, modem
// lines and purges become COM port commands; they are queued until the
// server agrees to the option, and dropped when it refuses it. Everything to
// send is taken with TakeOutput.

#include "SpDevice.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

class TSpTelnet {
public:
    enum : uint8_t {
        IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240,
        optBinary = 0, optSga = 3, optComPort = 44,
    };
    // COM port commands from the client; the server answers each plus 100.
    enum : uint8_t {
        cpSetBaudrate = 1, cpSetDatasize = 2, cpSetParity = 3, cpSetStopsize = 4, cpSetControl = 5,
        cpSetLinestateMask = 10, cpSetModemstateMask = 11,
        cpPurgeData = 12, cpServerBase = 100,
    };
    enum TComPort { cpAsked, cpAgreed, cpRefused };

    // Queues the client's opening offers: BINARY and SUPPRESS-GO-AHEAD both
    // ways, and the COM port option.
    TSpTelnet();

    // Decodes count received bytes into data (room for count bytes); returns
    // how many data bytes it wrote.
    int Receive(const uint8_t* in, int count, uint8_t* data);
    // Appends count data bytes to the output, 0xFF doubled.
    void EncodeData(const uint8_t* data, int count);

    // EINVAL for a setting the COM port option cannot say.
    int SetLine(const TSpLineSettings& settings);
    void SetModemLines(int lines, bool on);
    // TSpDevice::TPurge bits: the server's buffers in the same directions.
    void Purge(int what);

    // What is to be sent, in order; empties the queue.
    QByteArray TakeOutput();
    bool HasOutput() const { return !m_out.isEmpty(); }
    TComPort ComPort() const { return m_comPort; }
    // Once, after the server refused the COM port option: a sentence for the
    // trace; empty otherwise.
    QString TakeNotice();

private:
    enum TState { sData, sIac, sVerb, sSub, sSubIac };
    struct TOption {
        bool Supported = false;
        bool Enabled = false;
        bool Asked = false;
    };

    void Negotiate(uint8_t verb, uint8_t option);
    void Reply(uint8_t verb, uint8_t option);
    // A COM port command with its value, 0xFF doubled in the value.
    void Command(uint8_t command, const QByteArray& value);
    void CommandOrHold(uint8_t command, const QByteArray& value);
    void ComPortAgreed();
    void ComPortRefused();

    TState m_state = sData;
    uint8_t m_verb = 0;
    TOption m_local[256];  // what we do (WILL / WONT)
    TOption m_remote[256]; // what the server does (DO / DONT)
    TComPort m_comPort = cpAsked;
    QByteArray m_held;  // commands waiting for the server's agreement
    QByteArray m_out;
    bool m_noticeDue = false;
};
