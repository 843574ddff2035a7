// Program entry: the application object runs the start sequence, the main window and the exit
// step; the engine and the store are torn down after it returns, the engine first.
#include <QApplication>
#include <clocale>

#include "app/application_app.h"

int main(int argc, char* argv[])
{
    std::setlocale(LC_ALL, "");  // the local encoding of device texts follows the locale
    QApplication qtApp(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    pontiq::CApplicationApp app;
    return app.Run();
}
