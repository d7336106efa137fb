#include "admin/qt/Startup.h"

int main(int argc, char** argv) {
    return quillet::admin::RunAdministrator(argc, argv);
}
