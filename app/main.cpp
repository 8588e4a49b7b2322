#include "velkaapplication.h"

int main(int argc, char *argv[])
{
    VelkaApplication app(argc, argv);
    return app.exec();
}
