#pragma once
// The unit's list of extension numbers (its list menu): read the whole list
// into a memo, add or remove one number or a range "first-last". Every change
// is followed by a fresh read, so the memo shows the unit's list, not what was
// typed.

#include "session/Joint1.h"

#include <QStringList>

class QPlainTextEdit;

class TListDlg : public TJoint1 {
public:
    // Start states besides Read (read and show).
    enum : int { AddNumber = 10, AddRange = 15, RemoveNumber = 20, RemoveRange = 25 };
    // Start states that send Argument without asking for it.
    enum : int { Adding = 11, Removing = 21 };

    TListDlg();

    QPlainTextEdit* TargetLines = nullptr; // not owned
    // One entry per line as the unit printed it.
    QStringList List;
    // The entry to add or remove, as typed.
    QString Argument;

    bool Process() override;
    bool NeedsMainThread() override;
    void GetP() override;
    void Output() override;
    // The entries joined with ", ".
    QString GetText() override;

private:
    // Asks for one number or a range; next is the state that sends it.
    void AskNumber(int next);
    void AskRange(int next);
    // ADD or REMOVE; errorBase is the state of its first failure.
    void Change(const QByteArray& command, int errorBase);
    bool ReadList();
    QString ErrorText(int state) const override;

    QByteArray m_refusal; // the reply word that refused the read
};
