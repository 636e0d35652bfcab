// natives_doc INTRO OUT: writes docs/natives.md's text (INTRO, then the tables) to OUT.
#include "common/NativesDoc.h"

#include <fstream>
#include <iostream>
#include <sstream>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: natives_doc INTRO OUT\n";
        return 1;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << "natives_doc: cannot read " << argv[1] << "\n";
        return 1;
    }
    std::ostringstream intro;
    intro << in.rdbuf();
    std::ofstream out(argv[2], std::ios::binary);
    out << mcb::mcbtools::nativesMarkdown(intro.str());
    if (!out) {
        std::cerr << "natives_doc: cannot write " << argv[2] << "\n";
        return 1;
    }
    return 0;
}
