// Rewrites the rejection table of the document named on the command line
// from the modules' contracts and the module tests' table of calls.
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "rejections.hpp"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: update_rejection_table DOC\n";
        return 2;
    }
    std::ifstream in(argv[1]);
    const std::string doc((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    try {
        const std::string updated = withRejectionTable(doc);
        if (updated != doc) std::ofstream(argv[1]) << updated;
        std::cout << argv[1] << (updated == doc ? " was up to date\n" : " rewritten\n");
    } catch (const std::runtime_error& error) {
        std::cerr << argv[1] << ": " << error.what() << "\n";
        return 1;
    }
    return 0;
}
