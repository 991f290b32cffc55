// The channel of an echogram document, doing nothing: a test or benchmark
// overrides only what it looks at.
#pragma once

#include "display/EchogramDoc.h"

#include <array>
#include <cstdint>
#include <string>

class CStubEchogramChannel : public IEchogramChannel
{
public:
    std::string GetSourceName() const override { return "38 kHz"; }
    void SetFirstEchogramType(int) override {}
    void SetEchogramStartRange(double) override {}
    void SetEchogramStopRange(double) override {}
    void SetEchogramMode(int) override {}
    void SetEchogramInfo(bool, bool, const std::string&, bool) override {}
    void SetEchogramValue(double) override {}
    void AccumulateFlag(int) override {}
    void GetTrawl(bool& depthValid, double& depth, bool& openingValid, double& opening) const override
    {
        depthValid = openingValid = false;
        depth = opening = 0.0;
    }
    bool GetPingSamples(std::int16_t*, int, double, double, int, int) override { return true; }
    bool GetBottomDepth(double& depth) override
    {
        depth = 0.0;
        return false;
    }
    double FindLevelStep(double) override { return -30.0; }
    bool IsNoiseCompensationOn() const override { return false; }
    bool WantsFilterValues() const override { return false; }
    void TakeFilterValues(const std::array<int, 5>&) override {}
    void UpdateDocument(IEchoIntegrator&) override {}
};
