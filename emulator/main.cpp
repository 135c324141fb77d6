// parlotel-unit: the emulated auto-attendant unit on a pseudo-terminal or a
// serial device (see --help and emulator/README.md).
#include "Unit.h"
#include "UnitOptions.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TUnitOptions options;
    QString message;
    switch (ParseUnitOptions(app.arguments(), options, message)) {
    case TParseResult::Exit:
        return 0;
    case TParseResult::Error:
        std::fprintf(stderr, "parlotel-unit: %s\n", qPrintable(message));
        return 2;
    case TParseResult::Run:
        break;
    }
    TUnit unit(options);
    if (!unit.Start(message)) {
        std::fprintf(stderr, "parlotel-unit: %s\n", qPrintable(message));
        return 1;
    }
    QObject::connect(&unit, &TUnit::Stopped, &app, &QCoreApplication::exit);
    return app.exec();
}
