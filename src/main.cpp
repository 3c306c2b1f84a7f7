#include "node/startup.h"

int main(int argc, char** argv) { RunNode(argc, argv); }
