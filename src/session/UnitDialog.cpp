#include "UnitDialog.h"
#include "support/CodePage.h"


namespace Unit {

const TUnitMenu* Menu(int mode)
{
    static const TUnitMenu menus[] = {
        {umTop, QByteArrayLiteral(">"), {}},
        {umPC, QByteArrayLiteral("PC>"), {}},
        {umSys, QByteArrayLiteral("PC SYS>"), QByteArrayLiteral("SYS\r")},
        {umList, QByteArrayLiteral("PC LIST>"), QByteArrayLiteral("LIST\r")},
        {umMail, QByteArrayLiteral("PC MAIL>"), QByteArrayLiteral("MAIL\r")},
        {umMenu, QByteArrayLiteral("PC MENU>"), QByteArrayLiteral("MENU\r")},
        {umTime, QByteArrayLiteral("PC TIME>"), QByteArrayLiteral("TIME\r")},
    };
    if (mode < umTop || mode > umTime)
        return nullptr;
    return &menus[mode - umTop];
}

const QByteArray WakeCancel = QByteArrayLiteral("\x18");
const QByteArray WakeReturn = QByteArrayLiteral("\r");
const QByteArray AccessWord = QByteArrayLiteral("\xEA\xE4\xEB\r"); // "кдл" in Windows-1251
const QByteArray PasswordPrompt = QByteArrayLiteral("Password:");
const QByteArray Leave = QByteArray(5, '\x18') + QByteArray(9, '\r');
const QByteArray EnterPC = QByteArrayLiteral("PC\r");
const QByteArray Return = QByteArrayLiteral("\r");

const QByteArray Get = QByteArrayLiteral("GET\r");
const QByteArray Set = QByteArrayLiteral("SET\r");
const QByteArray GetAll = QByteArrayLiteral("GETALL\r");
const QByteArray Add = QByteArrayLiteral("ADD\r");
const QByteArray Remove = QByteArrayLiteral("REMOVE\r");
const QByteArray Create = QByteArrayLiteral("CREATE\r");
const QByteArray Edit = QByteArrayLiteral("EDIT\r");
const QByteArray Delete = QByteArrayLiteral("DELETE\r");
const QByteArray Clear = QByteArrayLiteral("CLEAR\r");
const QByteArray UploadMsg = QByteArrayLiteral("ULMSG\r");
const QByteArray DownloadMsg = QByteArrayLiteral("DLMSG\r");
const QByteArray DeleteMsg = QByteArrayLiteral("DELMSG\r");

const QByteArray NumberPrompt = QByteArrayLiteral("N");
const QByteArray ValuePrompt = QByteArrayLiteral("=");
const QByteArray ValueHead = QByteArrayLiteral("=");
const QByteArray SizePrompt = QByteArrayLiteral("S");
const QByteArray TimePrompt = QByteArrayLiteral("T");
const QByteArray ItemsPrompt = QByteArrayLiteral("TC");
const QByteArray ItemsHead = QByteArrayLiteral("TC=");
const QByteArray MessageHead = QByteArrayLiteral("MSG=");
const QByteArray OwnerHead = QByteArrayLiteral("N=");
const QByteArray SizeHead = QByteArrayLiteral("S=");
const QByteArray FreeHead = QByteArrayLiteral("FREE=");
const QByteArray TransferStart = QByteArrayLiteral("START");
const QByteArray TransferResult = QByteArrayLiteral("TRANSFER_RESULT:");
const QByteArray YModemError = QByteArrayLiteral("YMODEM_ERR(");
const QByteArray YModemErrorEnd = QByteArrayLiteral(")");
const QByteArray MenuEnd = QByteArrayLiteral(">");
const QByteArray LineEnd = QByteArrayLiteral("\r");
const QByteArray FieldBlank = QByteArrayLiteral(" ");

const QByteArray Ok = QByteArrayLiteral("OK");
const QByteArray Error = QByteArrayLiteral("ERROR");
const QByteArray Busy = QByteArrayLiteral("BUSY");
const QByteArray AdminMode = QByteArrayLiteral("ADMIN_MODE");
const QByteArray SystemMode = QByteArrayLiteral("SYSTEM_MODE");
const QByteArray NoFreeMem = QByteArrayLiteral("NO_FREE_MEM");
const QByteArray NotFound = QByteArrayLiteral("NOT_FOUND");
const QByteArray NoFreeBoxTail = QByteArrayLiteral("O_FREE_BOX");

const QString SystemOnlyRefusal = QStringLiteral("Операция возможна только в системном режиме.");

bool IsRefusal(const QByteArray& line)
{
    return line == Error || line == Busy || line == NoFreeMem || line == NotFound;
}

QString FromUnit(const QByteArray& bytes)
{
    return FromCp1251(bytes);
}

QByteArray ToUnit(const QString& text)
{
    return ToCp1251(text);
}

bool ParseInteger(const QByteArray& text, int& value)
{
    const bool negative = text.startsWith('-');
    const QByteArray digits = negative || text.startsWith('+') ? text.mid(1) : text;
    if (digits.isEmpty() || digits.size() > 10)
        return false;
    qint64 v = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    if (negative)
        v = -v;
    if (v < INT32_MIN || v > INT32_MAX)
        return false;
    value = int(v);
    return true;
}

bool ParseDecimal(const QByteArray& text, int& value)
{
    return !text.startsWith('-') && !text.startsWith('+') && ParseInteger(text, value);
}

} // namespace Unit
