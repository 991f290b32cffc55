#include "transceivers/UnitSearchWait.h"

CUnitSearchWait::CUnitSearchWait(ShowDialog show) : m_show(std::move(show)) {}

bool CUnitSearchWait::Wait(const std::string& text, const std::function<bool()>& done)
{
    // The dialog keeps its own copies: the worker that asked may leave while
    // it is up.
    const CThreadCall::EResult result = m_call.Call(
        [show = m_show, text](const std::function<bool()>& ended) { return show ? show(text, ended) : ended(); }, done);
    return result != CThreadCall::EResult::No;
}
