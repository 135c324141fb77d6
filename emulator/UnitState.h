#pragma once
// Everything the unit remembers: its parameters, extension list, mailboxes,
// voice menus and clock, kept in a human-readable JSON file that is rewritten
// (atomically) after every change; and its recordings, in the folder
// <state>.voice beside it.

#include "ExtensionList.h"
#include "Mailboxes.h"
#include "UnitClock.h"
#include "VoiceMenu.h"
#include "VoiceStore.h"

#include <QByteArray>
#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

#include <array>
#include <memory>

class TUnitState {
public:
    // Loads stateFile, or creates it with the factory state when it does not
    // exist. An empty path keeps a factory state in a temporary folder.
    // A file that cannot be read as a state is an error: it is left untouched.
    bool Open(const QString& stateFile, QString& error);
    // Writes the state file; on failure says why on standard error.
    bool Save();

    QByteArray Param(int code) const { return m_params.value(code); }
    void SetParam(int code, const QByteArray& value) { m_params[code] = value; }

    TExtensionList Extensions;
    TMailboxes Mailboxes;
    std::array<TVoiceMenu, VoiceMenuCount> Menus;
    TUnitClock Clock;
    TVoiceStore Voice;

private:
    // Factory settings (FactoryState.cpp); the recordings only for a new state,
    // so that a restart never overwrites what was uploaded.
    void LoadFactory();
    void RecordFactoryVoices();
    QJsonObject ToJson() const;
    // Takes what is valid from a state file; anything else keeps its factory value.
    void FromJson(const QJsonObject& json);
    void ParamsFromJson(const QJsonObject& json);
    void ListsFromJson(const QJsonObject& json);
    void MenusFromJson(const QJsonObject& json);

    QString m_file;
    std::unique_ptr<QTemporaryDir> m_scratch;
    QMap<int, QByteArray> m_params;
};
