// The state a new unit leaves the factory with: every parameter set, a few
// extensions, two mailboxes, a main menu with actions and some recordings.
#include "UnitState.h"

#include "ParameterRules.h"

#include <cmath>

namespace {

struct TFactoryParam {
    int Code;
    const char* Value;
};

// Passwords: system 1234, administrator 1111. Firmware 1.4.4.
constexpr TFactoryParam FactoryParams[] = {
    {0, "1234"}, {1, "0"}, {10, "0"}, {11, "0"}, {12, "100"}, {13, "12"}, {14, "12"},
    {15, "2"}, {16, "30"}, {17, "5"}, {18, "60"},
    {20, "*1"}, {21, "*2"}, {22, "*31"}, {23, "*32"}, {24, "*4"}, {25, "*5"},
    {30, "1"}, {31, "2"}, {32, "3"},
    {40, "30"}, {41, "*41"}, {42, "*42"}, {43, "*43"}, {44, "*44"},
    {80, "1"}, {81, "0"}, {82, "1"}, {83, "0"},
    {90, "0"}, {91, "0"}, {92, "32"}, {93, "5"}, {94, "0"}, {95, "1"}, {96, "10"}, {97, "0"}, {98, "0"},
    {100, "10"}, {101, "100"}, {102, "101"}, {103, ""}, {104, "1111"},
    {110, "0"},
    {111, "900"}, {112, "1800"}, {113, "900"}, {114, "1800"}, {115, "900"}, {116, "1800"},
    {117, "900"}, {118, "1800"}, {119, "900"}, {120, "1700"}, {121, "1000"}, {122, "1400"},
    {123, "0"}, {124, "0"},
    {VersionCode, "10404"},
};

struct TFactoryVoice {
    const char* Key;
    const char* Name;
    int Seconds;
};

constexpr TFactoryVoice FactoryVoices[] = {
    {"sys-60", "wait.pcm", 3},
    {"sys-61", "op_busy.pcm", 2},
    {"sys-67", "leave_msg.pcm", 4},
    {"menu-0", "main_menu.pcm", 5},
    {"menu-20", "day.pcm", 4},
    {"menu-21", "night.pcm", 3},
};

// A few seconds of an 8-bit tone at 8000 samples per second, a different pitch per recording.
QByteArray Tone(int seconds, int pitchHz)
{
    QByteArray data(seconds * 8000, Qt::Uninitialized);
    for (qsizetype i = 0; i < data.size(); ++i)
        data[i] = char(128 + int(90 * std::sin(2 * M_PI * pitchHz * double(i) / 8000)));
    return data;
}

TVoiceMenu Menu(int tc, std::initializer_list<const char*> items)
{
    TVoiceMenu menu;
    menu.Tc = tc;
    menu.Items.fill(QByteArrayLiteral("-"));
    int key = 0;
    for (const char* item : items)
        menu.Items[key++] = item;
    return menu;
}

} // namespace

void TUnitState::LoadFactory()
{
    for (const TFactoryParam& param : FactoryParams)
        m_params[param.Code] = param.Value;
    // No line replaces its greetings, and every replacement menu is menu 0.
    for (int line = 1; line <= 6; ++line)
        for (int code = 500; code <= 540; code += 10)
            m_params[code + line] = "0";
    Extensions = {};
    for (const char* entry : {"100", "101", "102", "103", "200-219"})
        Extensions.Add(entry);
    Mailboxes = {};
    Mailboxes.Create("101", 900);
    Mailboxes.Create("102", 600);
    Menus.fill(Menu(3, {}));
    Menus[0] = Menu(3, {"N100", "M1", "N101", "N102", "L101", "G101", "-", "-", "-", "N100"});
    Menus[1] = Menu(3, {"M0", "N200", "N201", "N202"});
    Menus[20] = Menu(3, {"M0", "M0", "M1"});
    Menus[21] = Menu(2, {"L101"});
    Menus[22] = Menu(2, {"L101"});
    Clock.OffsetSeconds = TUnitClock::LocalOffsetSeconds();
}

void TUnitState::RecordFactoryVoices()
{
    int pitch = 400;
    for (const TFactoryVoice& voice : FactoryVoices)
        Voice.Put(QString::fromLatin1(voice.Key), voice.Name, Tone(voice.Seconds, pitch += 50));
}
