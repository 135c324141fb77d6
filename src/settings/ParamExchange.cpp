#include "ParamExchange.h"

#include "Dialogue.h"
#include "session/Comm.h"
#include "session/MessageSink.h"
#include "session/UnitDialog.h"

namespace {

constexpr int ReplyTimeoutMs = 5000;
constexpr int ValuePromptTimeoutMs = 1000;
// After a missing value prompt: take the unit's line only if it is already here.
constexpr int AlreadyReceivedMs = 1;

QString parameterHead(const char* operation, int code)
{
    return QStringLiteral("%1: parameter (%2): ").arg(QLatin1String(operation)).arg(code);
}

// Asks for the parameter and reads the reply line. True with the text between
// "=" and the CR; false after the failure has been shown.
bool readValue(const char* operation, int code, QByteArray& value)
{
    TFormComm* comm = FormComm();
    // A password read is masked in a line trace.
    const bool secret = Unit::IsPasswordCode(code);
    if (secret)
        comm->SetSecretValue(true);
    comm->SendGet(code);
    QByteArray line = Unit::LineEnd;
    const int read = comm->ReadThrough(line, ReplyTimeoutMs);
    if (secret)
        comm->SetSecretValue(false);
    if (read != wrFound) {
        ErrorBox(QLatin1String(operation) + QStringLiteral(": Reception error"));
        return false;
    }
    if (!line.startsWith(Unit::ValueHead)) {
        ErrorBox(parameterHead(operation, code) + Dialogue::FromUnit(line));
        return false;
    }
    value = line.mid(Unit::ValueHead.size()).chopped(Unit::LineEnd.size());
    return true;
}

// The texts in which the integer and the string writes differ.
struct TWriteTexts {
    const char* Operation;
    const char* NoValuePrompt; // neither the value prompt nor a line came
};

void writeValue(const TWriteTexts& texts, int code, const QByteArray& value)
{
    TFormComm* comm = FormComm();
    comm->SendSet(code);
    QByteArray prompt = Unit::ValuePrompt;
    if (comm->ReadThrough(prompt, ValuePromptTimeoutMs) != wrFound) {
        // The unit refused the code: say what it answered instead, if anything.
        QByteArray line = Unit::LineEnd;
        const bool answered = comm->ReadThrough(line, AlreadyReceivedMs) == wrFound;
        ErrorBox(parameterHead(texts.Operation, code)
                 + (answered ? Dialogue::FromUnit(line) : QLatin1String(texts.NoValuePrompt)));
        return;
    }
    // A new password is masked in a line trace, as the login's is.
    const QByteArray line = value + Unit::LineEnd;
    const int echoed = Unit::IsPasswordCode(code) ? comm->SendSecretAndWaitEcho(line, ReplyTimeoutMs)
                                                  : comm->SendAndWaitEcho(line, ReplyTimeoutMs);
    if (echoed != wrFound) {
        ErrorBox(QLatin1String(texts.Operation) + QStringLiteral(": parameter send error "));
        return;
    }
    QByteArray reply = Unit::LineEnd;
    if (comm->ReadThrough(reply, ReplyTimeoutMs) != wrFound) {
        ErrorBox(QLatin1String(texts.Operation) + QStringLiteral(": reply recept error "));
        return;
    }
    // Both writes report a refusal under the integer write's name.
    if (!reply.contains(Unit::Ok))
        ErrorBox(QStringLiteral("NumberSet: reply: ") + Dialogue::FromUnit(reply));
}

bool isDiallingString(const QString& value)
{
    for (QChar c : value)
        if (!QStringView(u"0123456789*#").contains(c))
            return false;
    return true;
}

} // namespace

int NumberGet(int code)
{
    QByteArray text;
    if (!readValue("NumberGet", code, text))
        return 0;
    int value = 0;
    if (!Unit::ParseInteger(text, value)) {
        ErrorBox(QStringLiteral("Incorrect number format, parameter: %1").arg(code));
        return 0;
    }
    return value;
}

void NumberSet(int code, int value)
{
    writeValue({"NumberSet", "unknown error"}, code, QByteArray::number(value));
}

QString DirectoryGet(int code)
{
    QByteArray text;
    if (!readValue("DirectoryGet", code, text))
        return {};
    return Dialogue::FromUnit(text);
}

void DirectorySet(int code, const QString& value)
{
    if (!isDiallingString(value)) {
        ErrorBox(parameterHead("DirectorySet", code) + QStringLiteral("invalid value: ") + value);
        return;
    }
    writeValue({"DirectorySet", "unknown error or timeout"}, code, value.toLatin1());
}
