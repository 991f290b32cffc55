// zv_fuzz_seeds <fuzz folder> <profile test data folder>
// Writes the fuzz targets' seed corpora (see fuzz/README.md).
#include "fuzz/seeds/SeedWriter.h"
#include "fuzz/support/FuzzEnvironment.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: zv_fuzz_seeds <fuzz folder> <profile test data folder>\n");
        return 2;
    }
    CFuzzEnvironment::Get();
    CSeedWriter writer(argv[1], argv[2]);
    std::string error;
    if (!writer.WriteAll(&error)) {
        std::fprintf(stderr, "zv_fuzz_seeds: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
