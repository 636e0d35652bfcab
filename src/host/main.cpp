// The player's entry point.
#include "host/Startup.h"

int main(int argc, char** argv) { return mcb::host::runPlayer(argc, argv); }
