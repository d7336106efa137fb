#include "admin/win32/SchedulerWindows.h"
#include "admin/win32/Startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
    quillet::admin::SetSchedulerFactory(quillet::admin::CreateSchedulerWindows);
    return quillet::admin::RunAdministrator(showCommand);
}
