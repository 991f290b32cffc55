#include "sim/calib/CalibrationSimulator.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace zv::calib {

namespace {

std::string Number(double v)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

std::string Result(HRESULT hr)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
}

// A value as the log shows it: its type, a tab, and what it holds.
std::string Value(const VARIANT& v)
{
    std::string s = std::to_string(v.vt) + "\t";
    switch (v.vt) {
    case VT_R8:
        return s + Number(v.dblVal);
    case VT_R4:
        return s + Number(v.fltVal);
    case VT_I4:
        return s + std::to_string(v.lVal);
    case VT_UI2:
        return s + std::to_string(v.uiVal);
    case VT_BSTR:
        return s + BstrToString(v.bstrVal);
    default:
        return s;
    }
}

}  // namespace

CCalibrationSimulator::CCalibrationSimulator(SOptions options) : m_options(std::move(options))
{
    if (!m_options.log.empty())
        m_log = std::fopen(m_options.log.c_str(), "a");
}

CCalibrationSimulator::~CCalibrationSimulator()
{
    Write("Released");
    if (m_log)
        std::fclose(m_log);
}

void CCalibrationSimulator::Write(const std::string& line)
{
    std::FILE* out = m_log ? m_log : stderr;
    std::fprintf(out, "%s\n", line.c_str());
    std::fflush(out);
}

HRESULT CCalibrationSimulator::Invoke(ULONG slot, VARIANT* args, ULONG count)
{
    if (++m_calls == m_options.exitAfter) {
        Write("Exit");
        std::_Exit(0);
    }
    if (m_options.delayMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(m_options.delayMs));
    std::string line;
    HRESULT hr;
    if (slot == kSetParameterSlot)
        hr = SetParameter(args, count, line);
    else if (slot == kAddTargetsSlot)
        hr = AddTargets(args, count, line);
    else {
        hr = E_NOTIMPL;
        line = "Call\t" + std::to_string(slot);
    }
    Write(line + "\t" + Result(hr));
    return hr;
}

HRESULT CCalibrationSimulator::SetParameter(VARIANT* args, ULONG count, std::string& line)
{
    line = "SetParameter";
    if (count != 2 || args[0].vt != VT_BSTR)
        return E_INVALIDARG;
    const std::string name = BstrToString(args[0].bstrVal);
    line += "\t" + name + "\t" + Value(args[1]);
    if (name == "Frequency" && m_frequencyRefused < m_options.failFrequency) {
        ++m_frequencyRefused;
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CCalibrationSimulator::AddTargets(VARIANT* args, ULONG count, std::string& line)
{
    line = "AddTargets";
    if (count != 4 || args[0].vt != VT_BSTR || args[1].vt != VT_BSTR)
        return E_INVALIDARG;
    line += "\t" + BstrToString(args[0].bstrVal) + "\t" + BstrToString(args[1].bstrVal) + "\t" + Value(args[2]);
    const VARIANT& values = args[3];
    line += "\t" + std::to_string(values.vt);
    if (!(values.vt & VT_ARRAY) || !values.parray)
        return E_INVALIDARG;
    SAFEARRAY* a = values.parray;
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(a, 1, &lower);
    SafeArrayGetUBound(a, 1, &upper);
    const long elements = long(upper) - long(lower) + 1;
    line += "\t" + std::to_string(SafeArrayGetDim(a)) + "\t" + std::to_string(lower) + "\t" + std::to_string(elements) +
            "\t";
    if ((values.vt & VT_TYPEMASK) != VT_R8)
        return E_INVALIDARG;
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(a, &data)))
        return E_INVALIDARG;
    for (long i = 0; i < elements; ++i)
        line += (i ? " " : "") + Number(static_cast<const double*>(data)[i]);
    SafeArrayUnaccessData(a);
    return S_OK;
}

bool ParseOptions(int argc, char** argv, SOptions& options, bool& registering, bool& unregistering, std::string* error)
{
    registering = unregistering = false;
    auto count = [&](int& i, int& target) {
        const char* name = argv[i];
        if (i + 1 >= argc) {
            *error = std::string(name) + ": needs a count";
            return false;
        }
        const char* text = argv[++i];
        char* end = nullptr;
        const long v = std::strtol(text, &end, 10);
        if (!*text || *end || v < 0 || v > 100000000) {
            *error = std::string(name) + ": not a count: " + text;
            return false;
        }
        target = static_cast<int>(v);
        return true;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == kEmbeddingArgument)
            continue;
        if (a == "--log" && i + 1 < argc)
            options.log = argv[++i];
        else if (a == "--fail-frequency") {
            if (!count(i, options.failFrequency))
                return false;
        } else if (a == "--delay-ms") {
            if (!count(i, options.delayMs))
                return false;
        } else if (a == "--exit-after") {
            if (!count(i, options.exitAfter))
                return false;
        } else if (a == "--register")
            registering = true;
        else if (a == "--unregister")
            unregistering = true;
        else {
            *error = "unknown option: " + a;
            return false;
        }
    }
    return true;
}

}  // namespace zv::calib
