#pragma once
// A voice menu or greeting of the unit (its menu mode): the recording's name
// and length, the TC number the unit keeps with it, and the action of each key
// 0 to 9. Reads the menu into columns 1 to 11 of its grid row, writes it back
// after one key's action was edited, deletes its recording and, through TFile,
// runs the unit's side of a transfer of the recording.

#include "VoiceFile.h"

#include <QByteArray>

#include <array>

class TFormMenuItm;

class TMenuDlg : public TFile {
public:
    // Start state besides those of TFile: edit the action of EditedKey.
    enum : int { EditKey = 60 };
    static constexpr int KeyCount = 10;
    // Its row of the greetings and menus grids, which the window lays out by
    // these: the job hangs on the row's first cell, shows the recording's name
    // in NameColumn and key k's action in FirstKeyColumn + k.
    static constexpr int NameColumn = 1;
    static constexpr int FirstKeyColumn = 2;

    TMenuDlg();

    int TC = 0; // kept and sent back unchanged
    // The action of each key as the unit writes it: "-", "M3", "N101", "L200", "G200".
    std::array<QByteArray, KeyCount> Items;
    int EditedKey = 0;

    bool Process() override;
    bool NeedsMainThread() override;
    void GetP() override;
    void SetP() override;
    void Output() override;
    QString GetText() override;
    void UploadRequest() override;

protected:
    QString ErrorText(int state) const override;

private:
    bool ReadHead();
    bool ReadRecording();
    bool ReadItems();
    bool WriteItem(int key);
    void EditItem();
    void PresetItem(TFormMenuItm& dialog, const QByteArray& item) const;
    static QByteArray ItemFrom(const TFormMenuItm& dialog);
    void ConfirmMessageDelete();
    void DeleteMessage();
};
