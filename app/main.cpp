// The windowed program.
#include "app/MyOrvelApp.h"

int main(int argc, char** argv)
{
    CMyOrvelApp app(argc, argv);
    if (!app.InitInstance())
        return 1;
    return app.exec();
}
