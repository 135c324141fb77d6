#include "UnitOptions.h"

#include "UnitText.h"
#include "YModemPeer.h"

#include <QCommandLineParser>

#include <cstdio>

namespace {

const char* const Description =
    "An emulated auto-attendant unit for Parlotel, on a pseudo-terminal, a serial device or a\n"
    "TCP port (raw, as a serial device server's TCP mode; one client at a time, a second one\n"
    "is closed at once). On Windows it serves TCP only.\n"
    "\n"
    "Passwords: system 1234, administrator 1111 unless the state or the options say otherwise.\n"
    "While it runs, lines on standard input switch faults (each answered \"ok ...\" on\n"
    "standard output): fault silent|busy|bytewise|garbage on|off, fault delay MS,\n"
    "fault ymodem N, fault refuse WORD, fault accept WORD, fault word WORD [SKIP],\n"
    "fault none; \"count\" prints the bytes sent and\n"
    "received. It stops when standard input closes or on SIGTERM/SIGINT (on Windows Ctrl-C,\n"
    "Ctrl-Break or closing its console); SIGUSR1 and the exit print the byte counts on\n"
    "standard error.";

bool ReadInt(const QCommandLineParser& parser, const QString& name, int min, int& value, QString& message)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const int v = parser.value(name).toInt(&ok);
    if (!ok || v < min) {
        message = QStringLiteral("--%1 needs a whole number of at least %2").arg(name).arg(min);
        return false;
    }
    value = v;
    return true;
}

// HOST:PORT, HOST an IPv4 address, "localhost" or an IPv6 address in brackets.
bool ReadTcp(const QString& value, TUnitOptions& options, QString& message)
{
    const qsizetype colon = value.lastIndexOf(u':');
    QString host = value.left(colon);
    if (host.startsWith(u'[') && host.endsWith(u']'))
        host = host.mid(1, host.size() - 2);
    bool ok = false;
    const int port = value.mid(colon + 1).toInt(&ok);
    if (colon < 0 || host.isEmpty() || !ok || port < 0 || port > 65535) {
        message = QStringLiteral("--tcp takes HOST:PORT, the port 0 to 65535: %1").arg(value);
        return false;
    }
    options.TcpHost = host;
    options.TcpPort = port;
    return true;
}

void AddOptions(QCommandLineParser& parser)
{
    parser.setApplicationDescription(QString::fromLatin1(Description));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {QStringLiteral("pty"), QStringLiteral("Create a pseudo-terminal and print its device path as the first line.")},
        {QStringLiteral("device"), QStringLiteral("Serve an existing serial device."), QStringLiteral("path")},
        {QStringLiteral("tcp"), QStringLiteral("Serve raw TCP on this numeric address and port (port 0: any free one) and print tcp://HOST:PORT as the first line."), QStringLiteral("host:port")},
        {QStringLiteral("state"), QStringLiteral("JSON state file, loaded at start and saved on every change; recordings go to the folder NAME.voice beside NAME.json. Missing: created with the factory state (recordings left in that folder removed)."), QStringLiteral("file")},
        {QStringLiteral("system-password"), QStringLiteral("Set the system password (parameter 00)."), QStringLiteral("digits")},
        {QStringLiteral("admin-password"), QStringLiteral("Set the administrator password (parameter 104)."), QStringLiteral("digits")},
        {QStringLiteral("baud"), QStringLiteral("Bit rate the output is paced at, ten bit-times per byte (default 19200; 0: no pacing)."), QStringLiteral("bits/s")},
        {QStringLiteral("line-end"), QStringLiteral("Line end of replies: crlf (default) or cr."), QStringLiteral("crlf|cr")},
        {QStringLiteral("log"), QStringLiteral("Append a timestamped log of both directions to this file."), QStringLiteral("file")},
        {QStringLiteral("transfer-timeout"), QStringLiteral("Milliseconds of silence from the line that end a file transfer (default 15000)."), QStringLiteral("ms")},
        {QStringLiteral("result-delay"), QStringLiteral("Milliseconds between a transfer's end and its TRANSFER_RESULT line (default 500)."), QStringLiteral("ms")},
        {QStringLiteral("ymodem"), QStringLiteral("Who moves recordings: %1 (default %2; lrzsz is Linux's, engine is Parlotel's own YModem).").arg(TYModemPeer::Kinds().join(QLatin1Char('|')), TYModemPeer::Kinds().value(0)), QStringLiteral("peer")},
        {QStringLiteral("silent"), QStringLiteral("Fault: ignore everything received (no echo, no reply).")},
        {QStringLiteral("busy"), QStringLiteral("Fault: answer every login with BUSY.")},
        {QStringLiteral("bytewise"), QStringLiteral("Fault: send every byte as a burst of its own.")},
        {QStringLiteral("reply-delay"), QStringLiteral("Fault: wait this long before every reply line and prompt."), QStringLiteral("ms")},
        {QStringLiteral("ymodem-error"), QStringLiteral("Fault: report YMODEM_ERR(n) as the next transfer's result."), QStringLiteral("n")},
        {QStringLiteral("refuse"), QStringLiteral("Fault: answer this command word with ERROR (repeatable)."), QStringLiteral("word")},
    });
}

bool ReadPlace(const QCommandLineParser& parser, TUnitOptions& options, QString& message)
{
    options.Pty = parser.isSet(QStringLiteral("pty"));
    options.Device = parser.value(QStringLiteral("device"));
    const bool tcp = parser.isSet(QStringLiteral("tcp"));
    if (int(options.Pty) + int(!options.Device.isEmpty()) + int(tcp) != 1) {
        message = QStringLiteral("give one of --pty, --device PATH and --tcp HOST:PORT");
        return false;
    }
    if (tcp && !ReadTcp(parser.value(QStringLiteral("tcp")), options, message))
        return false;
    const QString lineEnd = parser.value(QStringLiteral("line-end"));
    if (!lineEnd.isEmpty() && lineEnd != QLatin1String("crlf") && lineEnd != QLatin1String("cr")) {
        message = QStringLiteral("--line-end takes crlf or cr");
        return false;
    }
    options.CrLf = lineEnd != QLatin1String("cr");
    options.StateFile = parser.value(QStringLiteral("state"));
    options.SystemPassword = parser.value(QStringLiteral("system-password"));
    options.AdminPassword = parser.value(QStringLiteral("admin-password"));
    options.LogFile = parser.value(QStringLiteral("log"));
    options.Peer = parser.value(QStringLiteral("ymodem"));
    if (!options.Peer.isEmpty() && !TYModemPeer::Kinds().contains(options.Peer)) {
        message = QStringLiteral("--ymodem takes %1 in this build").arg(TYModemPeer::Kinds().join(QStringLiteral(" or ")));
        return false;
    }
    return ReadInt(parser, QStringLiteral("baud"), 0, options.BitRate, message)
        && ReadInt(parser, QStringLiteral("transfer-timeout"), 1, options.TransferTimeoutMs, message)
        && ReadInt(parser, QStringLiteral("result-delay"), 0, options.ResultDelayMs, message);
}

bool ReadFaults(const QCommandLineParser& parser, TUnitFaults& faults, QString& message)
{
    faults.Silent = parser.isSet(QStringLiteral("silent"));
    faults.Busy = parser.isSet(QStringLiteral("busy"));
    faults.Bytewise = parser.isSet(QStringLiteral("bytewise"));
    for (const QString& word : parser.values(QStringLiteral("refuse")))
        faults.Refused.insert(ToUnitBytes(word));
    return ReadInt(parser, QStringLiteral("reply-delay"), 0, faults.ReplyDelayMs, message)
        && ReadInt(parser, QStringLiteral("ymodem-error"), 0, faults.NextYModemError, message);
}

} // namespace

TParseResult ParseUnitOptions(const QStringList& arguments, TUnitOptions& options, QString& message)
{
    QCommandLineParser parser;
    AddOptions(parser);
    if (!parser.parse(arguments)) {
        message = parser.errorText();
        return TParseResult::Error;
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("version"))) {
        const QString text = parser.isSet(QStringLiteral("help")) ? parser.helpText() : QStringLiteral("parlotel-unit 1.4.4\n");
        std::fputs(text.toLocal8Bit().constData(), stdout);
        return TParseResult::Exit;
    }
    if (!parser.positionalArguments().isEmpty()) {
        message = QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first());
        return TParseResult::Error;
    }
    const bool valid = ReadPlace(parser, options, message) && ReadFaults(parser, options.Faults, message);
    return valid ? TParseResult::Run : TParseResult::Error;
}
