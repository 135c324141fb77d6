#pragma once
// The real main window, offscreen, connected to the emulated unit on its
// pseudo-terminal: the rig the page, clock and export tests share.

#include "TestSupport.h"
#include "UnitClient.h"

#include <QStringList>

#include <memory>

class TForm1;
class TFormComm;
class TStringGrid;
class QWidget;

namespace TestSupport {

class TWindowRig {
public:
    // Starts the unit unpaced with extra arguments; the window is shown
    // (offscreen) and its message boxes go to Sink.
    explicit TWindowRig(const QStringList& unitArgs = {});
    ~TWindowRig();
    TWindowRig(const TWindowRig&) = delete;
    TWindowRig& operator=(const TWindowRig&) = delete;

    TRecordingSink Sink;
    std::unique_ptr<TUnitProcess> Unit;
    std::unique_ptr<TForm1> Window;
    std::unique_ptr<TFormComm> Comm;

    bool Started() const { return !Unit->Pty().isEmpty(); }
    // Clicks "Подключиться" with the password and waits until every job the
    // connect started has ended. True when logged in.
    bool Connect(const QString& password);
    // Waits until the worker is idle and the window ready.
    bool Settle();
    // Bytes the unit has received so far.
    int Received();
    // Shows a page by clicking nothing but the tab, and waits for its reads.
    bool ShowPage(QWidget* page);
    // Queues the answer to the next file dialog: choose path (empty: cancel).
    static void ChooseFile(const QString& path);
    // A user's double click on a data cell.
    static void DoubleClick(TStringGrid* grid, int col, int row);
};

} // namespace TestSupport
