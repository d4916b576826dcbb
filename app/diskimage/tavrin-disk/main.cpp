// tavrin-disk: reads and writes DFS disk catalogues and creates blank images
// from the command line (see DiskTool.h; "tavrin-disk --help" tells how).

#include "DiskTool.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    return tavrin::RunDiskTool(args, std::cout, std::cerr);
}
