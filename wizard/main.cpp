#include "FileUtil.h"
#include "FlittoApplication.h"
#include "TfrmMain.h"

int main(int argc, char **argv)
{
    FlittoApplication app(argc, argv);
    // Flitto runs in the Quillbox folder it was copied into: the folder of
    // its own executable, whatever the current folder is.
    TfrmMain frmMain(FileUtil::ProgramFolder());
    frmMain.show();
    return app.exec();
}
