// Echo integration by layers: each ping adds the summed volume
// backscattering inside every layer; at the end of an interval the sums
// become the mean volume backscattering and the area backscattering
// (NASC, m^2/nmi^2) of each layer.
#pragma once

#include "engine/ChannelComponents.h"
#include "engine/Layer.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class CChannelIntegrator : public IEchoIntegrator
{
public:
    static constexpr int kTableSize = 2500;

    CChannelIntegrator();
    ~CChannelIntegrator() override = default;
    CChannelIntegrator(const CChannelIntegrator&) = delete;
    CChannelIntegrator& operator=(const CChannelIntegrator&) = delete;

    // count words of Sv (raw units); bottom depth 0 (or NaN) when none.
    void IntegrateLayers(const std::int16_t* sv, int count, double bottomDepth, double d, double draught,
                         double pulseTerm) override;
    void ComputeLayerResults();
    // Zeroes the sums and the ping count; the results of the last interval
    // stay readable until the next one is computed.
    void ResetLayers();
    bool StartIntegration();
    bool StopIntegration();
    bool IsIntegrating() const { return m_running; }
    bool HasLayers() const { return !m_layers.empty(); }
    int GetPingCount() const { return m_pingCount; }

    void AddLayer(std::unique_ptr<CLayer> layer);
    void DeleteLayer(int index);
    int GetLayerCount() const { return static_cast<int>(m_layers.size()); }
    CLayer* GetLayer(int index) const;

    // Raw power sum of the words above threshold t; no echo (-20000) when
    // none is above it.
    std::int16_t PowerSum(const std::int16_t* words, int n, int threshold);
    int AdditionTable(int k) const { return m_table[static_cast<std::size_t>(k)]; }

private:
    std::vector<std::unique_ptr<CLayer>> m_layers;
    bool m_running = false;
    int m_pingCount = 0;
    std::vector<std::int16_t> m_work;
    std::array<std::int16_t, kTableSize> m_table{};
};
