#include "platform/regtool/RegTool.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    CRegTool tool(stdout, stderr);
    return tool.Run(std::vector<std::string>(argv + 1, argv + argc));
}
