#include "ProgramOptions.h"

#include "CliCommands.h"
#include "CommandLine.h"
#include "support/Console.h"
#include "support/ExitCodes.h"

#include <QCommandLineParser>
#include <QStringList>

namespace {

constexpr int HighestPort = 255;

const char* const Usage =
    "Usage: parlotel [--demo | --demo-reset] [--trace FILE]\n"
    "       parlotel COMMAND [--password P] [--port N | --device PATH | --demo] [--trace FILE]\n"
    "       parlotel --help\n";

const char* const HeadlessHelp =
    "\nWith a command the program runs without its window (no display is needed): it\n"
    "connects to the unit, runs the command, disconnects and exits. Messages that the\n"
    "window would show are printed to standard error instead. Without --password the\n"
    "password is read from standard input (one line).\n"
    "Exit codes: 0 done; 1 the connection or the login failed; 2 the command failed,\n"
    "or the unit refused a value; 3 wrong command line, a value outside the setting's\n"
    "limits, a network address that is not valid, or a file that cannot be used (a\n"
    "backup that is not valid, a trace file that cannot be created, a voice file that\n"
    "cannot be sent); 4 a download's file\n"
    "arrived whole and was saved, but an error was reported after it (both are\n"
    "printed). Nothing is sent to the unit in case 3.\n"
    "--upload and --download take two arguments: the recording, then the file.\n"
    "A FILE that is written (--export, --backup, --download, --trace) may be - for\n"
    "standard output. A regular file is only ever replaced whole (written beside it,\n"
    "then renamed); a device or a pipe is written in place; a folder, a socket, or a\n"
    "folder that is missing or not writable is refused (exit code 3). Exports and\n"
    "backups hold the passwords: they are created readable by their owner only.\n"
    "On a terminal --export and --backup show which page or section they read.\n"
    "Examples: parlotel --export settings.txt --password 1234 --device /dev/ttyUSB0\n"
    "          parlotel --export settings.txt --password 1234 --device rfc2217://10.0.0.7:4001\n"
    "          parlotel --upload menu:3 hello.pcm --password 1234\n"
    "          parlotel --set 12=150 --password 1234 --port 2\n"
    "          parlotel --restore unit1.json --dry-run --password 1234\n";

struct TParser {
    QCommandLineParser Parser;
    QCommandLineOption Help{{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help.")};
    QCommandLineOption Demo{QStringLiteral("demo"),
                            QStringLiteral("Use the emulated unit, which keeps its changes until --demo-reset: "
                                           "the window connects the chosen COM port to it for this run (the stored "
                                           "port is not changed), a command connects to it unpaced. On "
                                           "Windows it is reached over the loopback (tcp://127.0.0.1).")};
    QCommandLineOption Reset{QStringLiteral("demo-reset"),
                             QStringLiteral("Like --demo, with the unit back in its factory state.")};
    QCommandLineOption Password{QStringLiteral("password"),
                                QStringLiteral("Command: log in with this password instead of reading it from "
                                               "standard input."),
                                QStringLiteral("P")};
    QCommandLineOption Port{QStringLiteral("port"),
                            QStringLiteral("Command: use COM<N> (1 to 255) instead of the stored port; a number "
                                           "opens its assigned device, else /dev/ttyUSB<N-1>, else /dev/ttyS<N-1> (on "
                                           "Windows the port COM<N> itself)."),
                            QStringLiteral("N")};
    QCommandLineOption Device{QStringLiteral("device"),
                              QStringLiteral("Command: open this serial device as the port, or a serial device "
                                             "server at tcp://HOST:PORT (raw) or rfc2217://HOST:PORT (HOST a name, "
                                             "an IPv4 address or [IPv6]); the dialogue crosses the network in clear."),
                              QStringLiteral("PATH")};
    QCommandLineOption DryRun{QStringLiteral("dry-run"),
                              QStringLiteral("With --restore: print the differences, write nothing.")};
    QCommandLineOption Trace{QStringLiteral("trace"),
                             QStringLiteral("Write every byte sent to and received from the unit, with times, "
                                            "into FILE (window and commands)."),
                             QStringLiteral("FILE")};
    std::vector<QCommandLineOption> Commands;

    TParser()
    {
        Parser.setApplicationDescription(
            QStringLiteral("Parlotel: configures the auto-attendant unit over a serial line."));
        Parser.addOptions({Help, Demo, Reset});
        for (const THeadlessCommand& command : HeadlessCommands()) {
            Commands.emplace_back(command.Name, command.Description, command.ValueName);
            Parser.addOption(Commands.back());
        }
        Parser.addOptions({DryRun, Password, Port, Device, Trace});
    }

    // The parser's own usage line knows neither the program's name (there is
    // no application object yet) nor its two ways of running.
    QString HelpText() const
    {
        QString text = Parser.helpText();
        text.replace(0, text.indexOf(QLatin1Char('\n')) + 1, QString::fromLatin1(Usage));
        return text + QString::fromLatin1(HeadlessHelp);
    }
};

// An option given twice: the parser would keep only its last value, and
// "--get 15 --get 16" would quietly read one of them.
bool RefuseRepeated(const TParser& p, QString& error)
{
    for (const QString& name : p.Parser.optionNames()) {
        if (p.Parser.optionNames().count(name) > 1) {
            error = QStringLiteral("--%1 is given more than once").arg(name);
            return false;
        }
    }
    return true;
}

// "--export --password 1234": the parser takes the next option for the
// missing value.
bool RefuseOptionAsValue(const TParser& p, QString& error)
{
    for (const QString& name : p.Parser.optionNames()) {
        const QString value = p.Parser.value(name);
        if (value.startsWith(QLatin1String("--"))) {
            error = QStringLiteral("--%1 needs a value before %2 (a file of that name: ./%2)").arg(name, value);
            return false;
        }
    }
    return true;
}

// The command named on the line; an error when there are several.
bool FindCommand(const TParser& p, TProgramOptions& options, QString& error)
{
    for (size_t i = 0; i < p.Commands.size(); ++i) {
        if (!p.Parser.isSet(p.Commands[i]))
            continue;
        if (options.Headless) {
            error = QStringLiteral("only one command at a time");
            return false;
        }
        options.Headless = THeadlessRequest{&HeadlessCommands()[i], {p.Parser.value(p.Commands[i])}, {}};
    }
    return true;
}

// The one argument that is no option is the operand of a command that takes one.
bool ReadOperand(const TParser& p, TProgramOptions& options, QString& error)
{
    QStringList rest = p.Parser.positionalArguments();
    if (options.Headless && !options.Headless->Command->OperandName.isEmpty()) {
        const THeadlessCommand& command = *options.Headless->Command;
        if (rest.isEmpty()) {
            error = QStringLiteral("--%1 needs %2 after %3").arg(command.Name, command.OperandName, command.ValueName);
            return false;
        }
        options.Headless->Arguments << rest.takeFirst();
    }
    if (!rest.isEmpty()) {
        error = QStringLiteral("unexpected argument: %1").arg(rest.constFirst());
        return false;
    }
    if (!p.Parser.isSet(p.DryRun))
        return true;
    if (!options.Headless || options.Headless->Command->Name != QLatin1String("restore")) {
        error = QStringLiteral("--dry-run goes with --restore");
        return false;
    }
    options.Headless->Command = &RestoreDryRunCommand();
    return true;
}

bool ReadConnection(const TParser& p, TProgramOptions& options, QString& error)
{
    if (!options.Headless) {
        if (p.Parser.isSet(p.Password) || p.Parser.isSet(p.Port) || p.Parser.isSet(p.Device)) {
            error = QStringLiteral("--password, --port and --device go with a command such as --export");
            return false;
        }
        return true;
    }
    TConnectionOptions& c = options.Headless->Connection;
    if (p.Parser.isSet(p.Password))
        c.Password = p.Parser.value(p.Password);
    if (p.Parser.isSet(p.Port)) {
        bool number = false;
        c.Port = p.Parser.value(p.Port).toInt(&number);
        if (!number || c.Port < 1 || c.Port > HighestPort) {
            error = QStringLiteral("--port takes a number from 1 to %1").arg(HighestPort);
            return false;
        }
    }
    c.Device = p.Parser.value(p.Device);
    c.TracePath = options.TracePath;
    c.Demo = options.Demo;
    c.DemoReset = options.DemoReset;
    if (c.Demo && p.Parser.isSet(p.Device)) {
        error = QStringLiteral("--device and --demo exclude each other");
        return false;
    }
    return true;
}

} // namespace

std::optional<int> ParseProgramOptions(int argc, char** argv, TProgramOptions& options)
{
    const QStringList arguments = ProgramArguments(argc, argv);
    TParser p;
    QString error;
    bool valid = p.Parser.parse(arguments);
    if (!valid)
        error = p.Parser.errorText();
    else if (p.Parser.isSet(p.Help)) {
        WriteText(TConsoleStream::Output, p.HelpText());
        return ecOk;
    }
    if (valid) {
        options.DemoReset = p.Parser.isSet(p.Reset);
        options.Demo = options.DemoReset || p.Parser.isSet(p.Demo);
        options.TracePath = p.Parser.value(p.Trace);
        valid = RefuseRepeated(p, error) && RefuseOptionAsValue(p, error) && FindCommand(p, options, error)
            && ReadOperand(p, options, error) && ReadConnection(p, options, error);
    }
    if (!valid) {
        WriteText(TConsoleStream::Error, QStringLiteral("parlotel: %1\n%2").arg(error, QLatin1String(Usage)));
        return ecUsage;
    }
    return std::nullopt;
}
