#include "display/ScopeDebugSettings.h"

#include <cmath>
#include <cstdlib>
#include <locale.h>

CScopeDebugSettings::Mode CScopeDebugSettings::GetMode() const
{
    // Scope wins over a stale analog flag: it is tested first.
    if (scopeMode)
        return Mode::Scope;
    if (analogMode)
        return Mode::Analog;
    if (motionMode)
        return Mode::Motion;
    return Mode::Numeric;
}

void CScopeDebugSettings::SelectScope()
{
    scopeMode = 1;
    motionMode = 0;
}

void CScopeDebugSettings::SelectAnalog()
{
    scopeMode = 0;
    analogMode = 1;
    motionMode = 0;
}

void CScopeDebugSettings::SelectNumeric()
{
    scopeMode = 0;
    analogMode = 0;
    motionMode = 0;
}

void CScopeDebugSettings::SelectMotion()
{
    scopeMode = 0;
    analogMode = 0;
    motionMode = 1;
}

void CScopeDebugSettings::TakeNumber(const std::string& text, double& value)
{
    if (text.empty())
        return;
    // Read in the C locale whatever the user's; text without a leading
    // number reads as 0, as the conversion gives it.
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    const double v = strtod_l(text.c_str(), nullptr, c);
    // An infinite or undefined limit would make an axis of nothing.
    if (std::isfinite(v))
        value = v;
}

void CScopeDebugSettings::SetRange(int cx, int cy)
{
    paneWidth = cx;
    paneHeight = cy;
    ApplySettings();
}

int CScopeDebugSettings::ApplySettings()
{
    const int traces[] = {nvuAbsolute,  nvuReal,  nvuImaginary, nvuCurrent, nvuPhase,
                          nvuImpedance, nvu16Bit, amplitude,    alongship,  athwartship};
    const Column order[] = {kNvuAbsolute,  kNvuReal,  kNvuImaginary, kNvuCurrent, kNvuPhase,
                            kNvuImpedance, kNvu16Bit, kAmplitude,    kAlongship,  kAthwartship};
    int count = 0;
    for (int t : traces)
        count += t ? 1 : 0;
    for (int a : adOutput)
        count += a ? 1 : 0;
    if (count == 0)
        count = 1;
    const int w = (paneWidth - 6) / count;
    int x = 5;
    for (int k = 0; k < 10; ++k) {
        if (!traces[k])
            continue;
        columns[order[k]] = {x, 0, x + w - 12, paneHeight};
        x += w;
    }
    x += 3;
    const int adBottom = paneHeight - kAdFoot;
    Rect& ad1 = columns[kAd1];
    ad1.left = x;
    ad1.top = 0;
    ad1.bottom = adBottom;
    if (adOutput[0]) {
        ad1.right = x + w - 10;
        x = ad1.right + 10;
    }
    for (int n = 1; n <= 2; ++n)
        if (adOutput[n]) {
            columns[kAd1 + n] = {x, 0, x + w - 10, adBottom};
            x = columns[kAd1 + n].right + 10;
        }
    if (adOutput[3])
        columns[kAd1 + 3] = {x, 0, x + w - 5, adBottom};
    return w;
}
