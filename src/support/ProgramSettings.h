#pragma once
// Where the program keeps its settings (the port number "COMPort", the device
// assignments "Devices/COMn"): on Linux the file pt71qm.conf in the user's
// configuration folder (ProgramSettingsPosix.cpp); on Windows the registry key
// HKEY_CURRENT_USER\Software\pt71qm itself, "COMPort" a string value there
// (ProgramSettingsWin32.cpp). Every reader and writer of these settings opens
// them here.

#include <QSettings>

QSettings ProgramSettings();
