#include <iostream>

#include "app/Cli.h"
#include "store/Registry.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    int status = sarvo::cli::RunCli(arguments, {std::cout, std::cerr});
    sarvo::CloseSettingsStore();
    return status;
}
