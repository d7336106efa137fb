#include "compactor/Compactor.h"

#include <string>
#include <vector>

int main(int argc, char** argv) {
    return quillet::compactor::RunCompactor(std::vector<std::string>(argv + 1, argv + argc));
}
