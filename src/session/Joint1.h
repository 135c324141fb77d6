#pragma once
// A job that reads or writes one parameter of the unit, in one of the unit's
// menus, and may show its value in a grid cell. Its generic cycle: Edit (ask,
// then write), Write, Read (back), Show. The kinds of setting override the
// steps; some add states of their own, and end in error states that show
// their message.

#include "session/Server.h"
#include "session/UnitDialog.h"

#include <QString>

class TStringGrid;

class TJoint1 : public TJoint {
public:
    // The generic cycle's states; a page starts a job in Edit or Read, and 0
    // is done. A kind with a dialogue of its own numbers its states from 10
    // on, and its error states from FirstErrorState on; its Process steps
    // those and leaves the rest to this one's.
    enum : int { Edit = 1, Write = 2, Read = 3, Show = 4 };
    static constexpr int FirstErrorState = 200;

    int Code = 0;
    int Col = 0;
    int Row = 0;
    // Where the window keeps the grid that shows the value; looked up at every use.
    TStringGrid* const* GridRef = nullptr;
    // The unit menu the job needs (system, list, mail, menus or clock;
    // undefined is refused by the session).
    Unit::TUnitMode Mode = Unit::umUndefined;

    bool Process() override;
    bool NeedsMainThread() override;

    virtual void Input();
    virtual void GetP();
    virtual void SetP();
    virtual void Output();
    // The shown value as text, for the settings export.
    virtual QString GetText();

    TStringGrid* Grid() const { return GridRef ? *GridRef : nullptr; }

protected:
    // The message of an error state; empty for a state that has none.
    virtual QString ErrorText(int state) const;

private:
    // How the cycle ends in any state it does not step: an error state shows
    // its message (in the main thread, as NeedsMainThread says), and the job
    // is done.
    void EndRun();
};
