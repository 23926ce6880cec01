// The windowed program. A bare main window until the application shell lands.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow w;
    w.setWindowTitle(QStringLiteral("Multimeter"));
    w.showMaximized();
    return app.exec();
}
