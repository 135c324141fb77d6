#pragma once
// What the program says to the unit and what it expects back, in one place:
// the menus with their prompts and entry commands, the wake-up, access and
// leave sequences, the commands of each menu and the reply words; the codes of
// the unit's parameters and recordings, and which of them only the system user
// reaches. All bytes as the unit uses them (Windows-1251); every job takes its
// command bytes, and the program every code, from here.

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace Unit {

// Where the unit is: a job's Mode and the session's UnitMode.
enum TUnitMode : uint8_t {
    umUndefined = 0,
    umPortOpen = 2, // port open, not logged in
    umPassword = 3, // the unit has asked for the password
    umTop = 4,      // ">"
    umPC = 5,       // "PC>"
    umSys = 6,      // "PC SYS>"
    umList = 7,     // "PC LIST>"
    umMail = 8,     // "PC MAIL>"
    umMenu = 9,     // "PC MENU>"
    umTime = 10,    // "PC TIME>"
};

struct TUnitMenu {
    TUnitMode Mode;
    QByteArray Prompt;
    QByteArray Enter; // the command that enters it from "PC>"; empty for ">" and "PC>"
};

// The menu with the given number, or nullptr outside 4 to 10.
const TUnitMenu* Menu(int mode);

// Logging in and out.
extern const QByteArray WakeCancel;      // 0x18, sent nine times one byte at a time
extern const QByteArray WakeReturn;      // CR, sent sixteen times one byte at a time
constexpr int WakeCancelCount = 9;
constexpr int WakeReturnCount = 16;
extern const QByteArray AccessWord;      // "кдл" CR
extern const QByteArray PasswordPrompt;  // "Password:"
extern const QByteArray Leave;           // five 0x18 then nine CR
extern const QByteArray EnterPC;         // "PC\r", from ">"
extern const QByteArray Return;          // "\r": an empty command; leaves a sub-menu

// Commands.
extern const QByteArray Get;       // "GET\r"
extern const QByteArray Set;       // "SET\r"
extern const QByteArray GetAll;    // "GETALL\r"
extern const QByteArray Add;       // "ADD\r"
extern const QByteArray Remove;    // "REMOVE\r"
extern const QByteArray Create;    // "CREATE\r"
extern const QByteArray Edit;      // "EDIT\r"
extern const QByteArray Delete;    // "DELETE\r"
extern const QByteArray Clear;     // "CLEAR\r"
extern const QByteArray UploadMsg;   // "ULMSG\r"
extern const QByteArray DownloadMsg; // "DLMSG\r"
extern const QByteArray DeleteMsg;   // "DELMSG\r"

// Prompts and reply heads inside a dialogue.
extern const QByteArray NumberPrompt;   // "N"
extern const QByteArray ValuePrompt;    // "="
extern const QByteArray ValueHead;      // "=": how the reply to a parameter read begins
extern const QByteArray SizePrompt;     // "S"
extern const QByteArray TimePrompt;     // "T"
extern const QByteArray ItemsPrompt;    // "TC"
extern const QByteArray ItemsHead;      // "TC="
extern const QByteArray MessageHead;    // "MSG="
extern const QByteArray OwnerHead;      // "N="
extern const QByteArray SizeHead;       // "S="
extern const QByteArray FreeHead;       // "FREE="
extern const QByteArray TransferStart;  // "START"
extern const QByteArray TransferResult; // "TRANSFER_RESULT:"
extern const QByteArray YModemError;    // "YMODEM_ERR("
extern const QByteArray YModemErrorEnd; // ")": closes the error number
extern const QByteArray MenuEnd;        // ">": the last byte of every prompt
extern const QByteArray LineEnd;        // "\r"
extern const QByteArray FieldBlank;     // " ": between the fields of a reply line

// The first character of a voice-menu item: the action of a key.
constexpr char ItemNone = '-';     // no action
constexpr char ItemMenu = 'M';     // go to the menu whose number follows
constexpr char ItemTransfer = 'N'; // transfer the call to the extension that follows
constexpr char ItemLeave = 'L';    // leave a message in the mailbox that follows
constexpr char ItemListen = 'G';   // listen to the messages of the mailbox that follows

// The unit's codes. A code names a parameter or a recording within its menu:
// the menu menu holds the voice menus and the greetings; the system menu the
// system parameters (codes below the numbers page, not every one taken), the
// service messages' recordings, the numbers page, the holiday flag, the weekly
// schedule, the greeting overrides and the firmware version.
struct TCodeRange {
    int First;
    int Last;
    constexpr bool Contains(int code) const { return code >= First && code <= Last; }
    constexpr int Count() const { return Last - First + 1; }
};
constexpr TCodeRange Menus{0, 19};
constexpr TCodeRange Greetings{20, 22}; // day, night, holiday
// Every code of the menu menu: a greeting is a voice menu too.
constexpr TCodeRange MenuCodes{Menus.First, Greetings.Last};
constexpr TCodeRange ServiceMessages{60, 73};
// The operator's call code, the day and the night operator, the fax and the
// administrator's password.
constexpr TCodeRange NumbersPage{100, 104};
constexpr int HolidayCode = 110;
// Monday's start and end, then each day's in turn to Sunday's.
constexpr TCodeRange Schedule{111, 124};
// The greeting overrides, 501 to 546: row 0 says whether each line replaces
// its greetings, rows 1 to 4 name the menus for the day, the night, the
// holiday and the transfer; one code per line 0 to 5.
constexpr int OverrideRows = 5;
constexpr int OverrideLines = 6;
constexpr int OverrideCode(int row, int line) { return 501 + 10 * row + line; }
constexpr int VersionCode = 999;

// The parameters that hold the unit's passwords: the system password and the
// administrator's. Their values are typed by the user like a login password.
constexpr int SystemPasswordCode = 0;
constexpr int AdminPasswordCode = NumbersPage.Last;
constexpr bool IsPasswordCode(int code) { return code == SystemPasswordCode || code == AdminPasswordCode; }

// Of the system menu the administrator reaches the numbers page, the holiday
// flag, the schedule and the firmware version; the rest of it (the system
// parameters, the service messages, the greeting overrides) only the system
// user. Every other menu is the administrator's too.
constexpr bool SystemOnly(TUnitMode mode, int code)
{
    return mode == umSys && !(code >= NumbersPage.First && code <= Schedule.Last) && code != VersionCode;
}
// The program's refusal of what only the system user reaches, before the unit
// is asked, in the window and on the command line alike.
extern const QString SystemOnlyRefusal;

// Reply words, compared with the text of a line before its CR.
extern const QByteArray Ok;
extern const QByteArray Error;
extern const QByteArray Busy;
extern const QByteArray AdminMode;
extern const QByteArray SystemMode;
extern const QByteArray NoFreeMem;
extern const QByteArray NotFound;
extern const QByteArray NoFreeBoxTail; // "O_FREE_BOX": "NO_FREE_BOX" after its "N" served as the prompt

// A line that is one of the words with which the unit refuses a command
// ("ERROR", "BUSY", "NO_FREE_MEM", "NOT_FOUND"): never a list entry, a name or
// a value, wherever a reply of several lines is read.
bool IsRefusal(const QByteArray& line);

// Between the unit's code page (Windows-1251) and text.
QString FromUnit(const QByteArray& bytes);
QByteArray ToUnit(const QString& text);

// Numbers in the unit's replies. Everything read from the line is untrusted:
// these accept exactly a run of decimal digits that fits in a signed 32-bit
// int, ParseInteger with an optional leading sign; no blanks, nothing else.
bool ParseDecimal(const QByteArray& text, int& value);
bool ParseInteger(const QByteArray& text, int& value);

} // namespace Unit
