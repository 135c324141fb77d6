#include "WindowRig.h"

#include "GuiTestSupport.h"
#include "serial/SpDeviceNames.h"
#include "session/AAMenu.h"
#include "session/Comm.h"
#include "ui/StringGrid.h"
#include "window/Unit1.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QtTest>

namespace TestSupport {

namespace {

constexpr int JobsMs = 30000;

} // namespace

TWindowRig::TWindowRig(const QStringList& unitArgs)
{
    Unit = std::make_unique<TUnitProcess>(QStringList{QStringLiteral("--baud"), QStringLiteral("0")} + unitArgs);
    Window = std::make_unique<TForm1>(QCoreApplication::applicationFilePath());
    Comm = std::make_unique<TFormComm>();
    spOverrideDevice(1, Unit->Pty());
    SetMessageSink(&Sink); // after the window, which installs its own
    Window->show();
}

TWindowRig::~TWindowRig()
{
    Window.reset();
    Comm.reset();
    Unit.reset();
    spOverrideDevice(1, QString());
    SetMessageSink(nullptr);
}

bool TWindowRig::Connect(const QString& password)
{
    Sink.QueuePassword(password);
    Window->btnConnect->click();
    return Settle() && Window->Session()->Level >= TAAMenu::lvAdmin;
}

bool TWindowRig::Settle()
{
    return Window->Server()->WaitIdle(JobsMs) && Window->BusyCount() == 0;
}

int TWindowRig::Received()
{
    static const QRegularExpression received(QStringLiteral("received=(\\d+)"));
    return received.match(QString::fromLatin1(Unit->Control("count"))).captured(1).toInt();
}

bool TWindowRig::ShowPage(QWidget* page)
{
    Window->PageControl1->setCurrentWidget(page);
    return Settle();
}

void TWindowRig::DoubleClick(TStringGrid* grid, int col, int row)
{
    QTableWidgetItem* item = grid->item(row - 1, col);
    if (!item) {
        grid->SetCells(col, row, QString());
        item = grid->item(row - 1, col);
    }
    grid->scrollToItem(item);
    grid->SetCurrent(col, row);
    const QPoint at = grid->visualItemRect(item).center();
    // A view takes a double click only on the cell its press went to.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
}

// The file name typed, then OK: the dialog's own selection waits for its
// folder listing, which a test need not wait for.
void TWindowRig::ChooseFile(const QString& path)
{
    AnswerNextModal<QFileDialog>([path](QFileDialog* d) {
        if (path.isEmpty()) {
            d->reject();
            return;
        }
        d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(path);
        static_cast<QDialog*>(d)->done(QDialog::Accepted);
    });
}

} // namespace TestSupport
