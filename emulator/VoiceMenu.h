#pragma once
// A voice menu or greeting as the unit keeps it: the TC number and one action
// per telephone key: "-" nothing, "M" + menu 0-19, "N" + extension, "L" / "G"
// + mailbox owner (leave / listen to messages).

#include <QByteArray>

#include <array>

struct TVoiceMenu {
    static constexpr int Keys = 10;
    int Tc = 0;
    std::array<QByteArray, Keys> Items;

    static bool IsItem(const QByteArray& item);
    // The TC value, 0 to 99; -1 when the text is not one.
    static int ParseTc(const QByteArray& text);
};

// Menus 0-19, then the day, night and holiday greetings 20-22.
constexpr int VoiceMenuCount = 23;
