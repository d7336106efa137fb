#include "admin/win32/Startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
    return quillet::admin::RunAdministrator(showCommand);
}
