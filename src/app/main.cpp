// Program start (placeholder until the main window is written).
#include <QApplication>
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Parlotel"));
    return 0;
}
