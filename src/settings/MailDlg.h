#pragma once
// The unit's voice mailboxes (its mail menu): read the list of owners and
// sizes and the free recording time into the mail grid and the free-space
// field; create a mailbox, change its size or delete it. Sizes are seconds on
// the line and minutes in the dialogs. Every change is followed by a fresh read.

#include "session/Joint1.h"

#include <QString>

#include <array>

class QLineEdit;

class TMailDlg : public TJoint1 {
public:
    // Start states besides Read (read and show).
    enum : int { CreateBox = 10, DeleteBox = 20, EditBox = 80 };
    // Start states that change without asking: create or edit with Owner and
    // SizeSeconds, delete the Selected entry.
    enum : int { Creating = 11, Deleting = 21, Editing = 81 };
    static constexpr int Capacity = 15;

    struct TMailbox {
        QString Owner;
        int Size = 0; // seconds
    };

    using TMailboxes = std::array<TMailbox, Capacity>;

    TMailDlg();

    TMailboxes Mailboxes;
    int Count = 0; // valid entries of Mailboxes
    int FreeSpace = 0; // seconds
    QLineEdit* FreeSpaceField = nullptr; // not owned
    // The arguments of the next CREATE or EDIT.
    QString Owner;
    int SizeSeconds = 0;
    // The entry chosen for EDIT or DELETE: the grid's current row minus 1.
    int Selected = -1;

    bool Process() override;
    bool NeedsMainThread() override;
    void GetP() override;
    void Output() override;
    QString GetText() override;

private:
    bool ReadEntry(const QByteArray& line, int index, TMailboxes& read);
    bool SelectCurrent();
    void AskNew();
    void AskSize();
    // CREATE or EDIT with Owner and SizeSeconds.
    void Change(const QByteArray& command);
    bool SendOwner();
    void FinishChange();
    void ConfirmDelete();
    void DeleteSelected();
    QString ErrorText(int state) const override;

    QByteArray m_refusal; // the reply word that refused the read
};
