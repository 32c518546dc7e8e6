// The engine's C++ API from an installed tree: reads FOLDER/IN_FM.txt, runs it in memory
// and writes the three tables main4 would write there, from the result's arrays.
#include <aerial/engine.hpp>

#include <fstream>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : ".";
    try {
        aerial::Simulation simulation;
        const aerial::SimulationResult& result = simulation.run(aerial::readInputFile(folder + "/IN_FM.txt"));
        for (aerial::Table table :
             {aerial::Table::kSpectrumAmplitude, aerial::Table::kSpectrumPhase, aerial::Table::kImageIntensity}) {
            std::ofstream(folder + "/" + aerial::tableFileName(table), std::ios::binary)
                << aerial::formatTable(result, table);
        }
    } catch (const aerial::Error& e) {
        std::cerr << e.what() << '\n';
        return 2;
    }
    return 0;
}
