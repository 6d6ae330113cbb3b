#include "FlittoApplication.h"
#include "TfrmMain.h"

int main(int argc, char **argv)
{
    FlittoApplication app(argc, argv);
    TfrmMain frmMain;
    frmMain.show();
    return app.exec();
}
