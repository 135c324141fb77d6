#pragma once
// Everything a login's level can read of one unit, held apart from the window:
// the single settings' values, the extension list, the menus and greetings (TC
// and the ten keys' actions), the mailboxes and the names of the voice
// recordings. It is what a backup file holds (JSON with a format version, each
// single setting written as the window shows it) and what a restore compares
// with the unit.

#include "ProgressLine.h"
#include "settings/ScalarJob.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>
#include <optional>
#include <vector>

class TForm1;
class TJobRunner;
class TMenuDlg;

// The window's menu and greeting jobs by code: menus 0 to 19, greetings 20 to 22.
std::map<int, TMenuDlg*> MenuJobs(TForm1& window);

struct TUnitSnapshot {
    static constexpr int FormatVersion = 1;

    struct TMenu {
        int Tc = 0;
        QStringList Items; // keys 0 to 9: "-", "M3", "N101", "L200", "G200"
        QString File;      // the recording's name on the unit; empty: none
        bool operator==(const TMenu& other) const { return Tc == other.Tc && Items == other.Items; }
    };

    bool System = false; // read in system mode: the system sections are there
    QString Firmware;
    QString Date; // when it was read, UTC, ISO 8601
    std::map<int, TScalarValue> Settings; // by code
    QStringList Extensions;
    std::map<int, TMenu> Menus;         // menus 0 to 19, greetings 20 to 22
    std::map<QString, int> Mailboxes;   // owner: size in seconds
    int FreeSeconds = 0;
    std::map<int, QString> Recordings;  // service messages by code: file name (system)

    // Reads the unit through the window's jobs, telling progress (when set)
    // each section before it is read; nothing, with error in the window's
    // words, when a read failed.
    static std::optional<TUnitSnapshot> Read(TForm1& window, TJobRunner& runner, QString& error,
                                             const TReadProgress& progress = {});

    // The settings' texts are those of the window's catalogue.
    QByteArray ToJson(TForm1& window) const;
    // A backup file's text, checked in full against the catalogue's limits:
    // nothing, with error saying what is wrong, when any of it cannot be used.
    static std::optional<TUnitSnapshot> FromJson(const QByteArray& json, TForm1& window, QString& error);
};
