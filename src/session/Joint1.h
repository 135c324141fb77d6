#pragma once
// A job that reads or writes one parameter of the unit, in one of the unit's
// menus, and may show its value in a grid cell. Its generic cycle: 1 edit (ask,
// then write), 2 write, 3 read back, 4 show. The kinds of setting override the
// steps; some add states of their own.

#include "session/Server.h"
#include "session/UnitDialog.h"

#include <QString>

class TStringGrid;

class TJoint1 : public TJoint {
public:
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
};
