// The command line of a simulated unit run as a program of its own:
// "--name value" options and flags without a value, each handed to what
// takes it. The first argument that is unknown, lacks its value or has a
// bad one is told on standard error as "<program>: ..." and ends the
// reading. And the run itself, which lasts until SIGINT or SIGTERM.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CSimCommandLine
{
public:
    explicit CSimCommandLine(std::string program);

    // An option whose value take reads; false: a bad value.
    void Option(const std::string& name, std::function<bool(const std::string&)> take);
    // A number from low to high, converted to the target's type.
    template <typename T>
    void Number(const std::string& name, double low, double high, T& target)
    {
        Option(name, [low, high, &target](const std::string& text) {
            double v = 0.0;
            if (!ReadNumber(text, low, high, v))
                return false;
            target = static_cast<T>(v);
            return true;
        });
    }
    // A dotted IPv4 address, in host order.
    void Address(const std::string& name, std::uint32_t& target);
    // A flag: set when given.
    void Flag(const std::string& name, bool& target);

    // Reads the arguments after the program's name; false once one was
    // wrong (and told).
    bool Parse(int argc, char** argv) const;
    // Tells that the simulator cannot bind its address; the exit code.
    int CannotBind(const std::string& address) const;

    // A whole decimal number text within [low, high].
    static bool ReadNumber(const std::string& text, double low, double high, double& value);
    // Returns when SIGINT or SIGTERM comes.
    static void RunUntilInterrupted();

private:
    struct Entry
    {
        std::string name;
        std::function<bool(const std::string&)> take;
        bool flag = false;
    };
    const Entry* Find(const std::string& name) const;

    std::string m_program;
    std::vector<Entry> m_entries;
};
