#include "compactor/Compactor.h"
#include "platform/Arguments.h"
#include "platform/Console.h"

int main(int argc, char** argv) {
    // Started from a console, its notices reach that console.
    quillet::platform::UseParentConsole();
    return quillet::compactor::RunCompactor(quillet::platform::ProgramArguments(argc, argv));
}
