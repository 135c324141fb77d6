// parlotel-screenshots FOLDER: saves the user guide's pictures into FOLDER.
// Needs a display (scripts/screenshots gives it Xvfb) and PARLOTEL_UNIT, the
// emulated unit's executable.
#include "GuideShots.h"

#include <QApplication>
#include <QStyleFactory>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: parlotel-screenshots FOLDER\n");
        return 2;
    }
    // The same look on every machine, whatever desktop theme is installed.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setApplicationName(QStringLiteral("Parlotel"));
    return TGuideShots(QString::fromLocal8Bit(argv[1])).Run() ? 0 : 1;
}
