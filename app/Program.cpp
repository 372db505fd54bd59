#include "app/Program.h"

#include <QApplication>
#include <QMainWindow>

#include <clocale>

int RunProgram(int argc, char **argv)
{
    std::setlocale(LC_ALL, "");
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Tessivar"));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Tessivar"));
    window.show();
    return app.exec();
}
