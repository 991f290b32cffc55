// zvreg: query, set, delete, export and import registry keys from a shell,
// as one does with the registry editor elsewhere.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

class CRegTool
{
public:
    static constexpr int kExitOk = 0;
    static constexpr int kExitError = 1;
    static constexpr int kExitUsage = 2;

    CRegTool(std::FILE* out, std::FILE* err) : m_Out(out), m_Err(err) {}

    // args without the program name.
    int Run(const std::vector<std::string>& args);

private:
    int Query(const std::vector<std::string>& args);
    int Set(const std::vector<std::string>& args);
    int Delete(const std::vector<std::string>& args);
    int Export(const std::vector<std::string>& args);
    int Import(const std::vector<std::string>& args);
    int Usage();
    int Fail(const std::string& message, long code);

    std::FILE* m_Out;
    std::FILE* m_Err;
};
