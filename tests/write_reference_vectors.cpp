// Writes tests/data/reference_vectors.txt and reference_scripts.txt from the code as it is
// built. Run it only when a result is meant to change, and say why in the commit.
#include <fstream>
#include <iostream>

#include "reference_cases.h"

int main() {
    using namespace kestrol::testing_support;
    std::ofstream vectors(kReferenceVectors);
    for (int n = 0; n < kReferenceCaseCount; ++n) vectors << ReferenceLine(n) << '\n';
    std::ofstream scripts(kReferenceScripts);
    for (const auto& script : ExampleScripts()) scripts << PlayExampleScript(script) << '\n';
    if (!vectors || !scripts) {
        std::cerr << "write_reference_vectors: could not write tests/data\n";
        return 1;
    }
    std::cout << "wrote " << kReferenceVectors.string() << " and " << kReferenceScripts.string() << '\n';
    return 0;
}
