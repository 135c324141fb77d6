#include "ProgressLine.h"

#include "Interruption.h"
#include "support/Console.h"

namespace {

// Characters of the progress line shown now; 0: none.
qsizetype g_shown = 0;

} // namespace

void ShowProgress(const QString& text)
{
    if (!IsTerminal(TConsoleStream::Error))
        return;
    QString line = QStringLiteral("parlotel: ") + text;
    const qsizetype length = line.size();
    // Blanks over what a longer line before left.
    if (length < g_shown)
        line += QString(g_shown - length, QLatin1Char(' '));
    WriteText(TConsoleStream::Error, u'\r' + line);
    g_shown = length;
}

bool ShowReadProgress(int step, int steps, const QString& part)
{
    if (TInterruption::Requested())
        return false;
    ShowProgress(QStringLiteral("чтение %1/%2: %3").arg(step).arg(steps).arg(part));
    return true;
}

void EndProgressLine()
{
    if (g_shown == 0)
        return;
    WriteText(TConsoleStream::Error, QStringLiteral("\n"));
    g_shown = 0;
}
