// tessavo-sim: a simulated handset diagnostic port for tests and demos.
#include <iostream>

#include "run_control.h"
#include "sim_app.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    tessavo::sim::SimParse parsed = tessavo::sim::ParseSimCommandLine(args);
    if (parsed.exitCode) {
        (*parsed.exitCode == 0 ? std::cout : std::cerr) << parsed.message;
        return *parsed.exitCode;
    }
    tessavo::cli::InstallStopHandlers();
    return tessavo::sim::RunSimulator(parsed.options, std::cout, std::cerr);
}
