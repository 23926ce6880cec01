// The windowed program.
#include "app/MyOrvelApp.h"

int main(int argc, char** argv)
{
    CMyOrvelApp app(argc, argv);
    if (!app.InitInstance())
        return 1;
    if (app.ExitCode() >= 0)
        return app.ExitCode();
    return app.exec();
}
