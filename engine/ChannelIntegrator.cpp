#include "engine/ChannelIntegrator.h"

#include "engine/Channel.h"
#include "engine/RawPower.h"

#include <algorithm>
#include <cmath>

using rawpower::kNoEcho;
using rawpower::Trunc;

CChannelIntegrator::CChannelIntegrator()
{
    const double c = rawpower::kUnitsPerDecade;
    for (int k = 0; k < kTableSize; ++k)
        m_table[static_cast<std::size_t>(k)] =
            static_cast<std::int16_t>(Trunc(c * std::log10(1.0 + std::pow(10.0, -k / c)) + 0.5));
    m_work.reserve(CChannel::kMaxSamples + 1);
}

std::int16_t CChannelIntegrator::PowerSum(const std::int16_t* words, int n, int threshold)
{
    m_work.clear();
    for (int i = 0; i < n; ++i)
        if (words[i] > threshold)
            m_work.push_back(words[i]);
    if (m_work.empty())
        return kNoEcho;
    // Combine neighbours pairwise, so each addition joins values of similar
    // size and the table's rounding does not pile up along a long run.
    while (m_work.size() > 1) {
        if (m_work.size() % 2 != 0)
            m_work.push_back(-12000);  // far below anything that counts
        std::size_t out = 0;
        for (std::size_t i = 0; i < m_work.size(); i += 2) {
            const int a = m_work[i];
            const int b = m_work[i + 1];
            const int diff = std::abs(a - b);
            const int hi = std::max(a, b);
            m_work[out++] = rawpower::Saturate16(diff < kTableSize ? hi + m_table[static_cast<std::size_t>(diff)] : hi);
        }
        m_work.resize(out);
    }
    return m_work[0];
}

void CChannelIntegrator::IntegrateLayers(const std::int16_t* sv, int count, double bottomDepth, double d,
                                         double draught, double pulseTerm)
{
    ++m_pingCount;
    const int available = (sv != nullptr) ? std::clamp(count, 0, CChannel::kMaxSamples) : 0;
    for (auto& layer : m_layers) {
        double start = 0.0;
        double stop = 0.0;
        const int code = layer->GetRangeLimits(bottomDepth, start, stop, draught, pulseTerm);
        double value = 0.0;
        double n = 0.0;
        if (code == CLayer::Inside) {
            int first = 0;
            int samples = 0;
            if (d > 0.0) {
                // The layer may reach beyond the ping or start above the
                // transducer: integrate only what the ping holds.
                const std::int64_t f = Trunc(start / d + 0.5);
                const std::int64_t len = Trunc((stop - start) / d + 0.5);
                const std::int64_t lo = std::clamp<std::int64_t>(f, 0, available);
                const std::int64_t hi = std::clamp<std::int64_t>(f + std::max<std::int64_t>(len, 0), lo, available);
                first = static_cast<int>(lo);
                samples = static_cast<int>(hi - lo);
            }
            const int threshold = rawpower::PowerToRaw(std::pow(10.0, layer->m_threshold / 10.0));
            const std::int16_t sum = PowerSum(sv + first, samples, threshold);
            value = (sum == kNoEcho) ? 0.0 : std::pow(10.0, sum * rawpower::kDbPerUnit / 10.0);
            n = samples;
            layer->m_lastValue = value;
            layer->m_lastSampleCount = n;
            layer->m_pingCounter += 1.0;
        } else if (code == CLayer::NoInterval) {
            layer->m_pingCounter += 1.0;
        } else {
            value = layer->m_lastValue;
            n = layer->m_lastSampleCount;
            if (layer->m_bottomSeen)
                layer->m_pingCounter += 1.0;
        }
        if (bottomDepth != 0.0 && !std::isnan(bottomDepth))
            layer->m_bottomSeen = true;
        layer->m_valueSum += value;
        layer->m_sampleCountSum += n;
        layer->m_thicknessSum += n * d;
        layer->m_sampleSpacing = d;
    }
}

void CChannelIntegrator::ComputeLayerResults()
{
    for (auto& layer : m_layers) {
        if (layer->m_sampleCountSum > 0.0 && layer->m_pingCounter > 0.0) {
            layer->m_meanThickness = layer->m_thicknessSum / layer->m_pingCounter;
            layer->m_meanValue = layer->m_valueSum / layer->m_sampleCountSum;
            layer->m_areaBackscattering = layer->m_meanThickness * rawpower::kFourPiNmiSquared * layer->m_meanValue;
        } else {
            layer->m_meanThickness = 0.0;
            layer->m_meanValue = 0.0;
            layer->m_areaBackscattering = 0.0;
        }
    }
    ResetLayers();
}

void CChannelIntegrator::ResetLayers()
{
    for (auto& layer : m_layers) {
        layer->m_valueSum = 0.0;
        layer->m_sampleCountSum = 0.0;
        layer->m_thicknessSum = 0.0;
        layer->m_pingCounter = 0.0;
    }
    m_pingCount = 0;
}

bool CChannelIntegrator::StartIntegration()
{
    m_running = true;
    ResetLayers();
    for (auto& layer : m_layers) {
        layer->m_meanThickness = 0.0;
        layer->m_meanValue = 0.0;
        layer->m_areaBackscattering = 0.0;
    }
    return true;
}

bool CChannelIntegrator::StopIntegration()
{
    m_running = false;
    return true;
}

void CChannelIntegrator::AddLayer(std::unique_ptr<CLayer> layer)
{
    if (layer)
        m_layers.push_back(std::move(layer));
}

void CChannelIntegrator::DeleteLayer(int index)
{
    if (index >= 0 && index < GetLayerCount())
        m_layers.erase(m_layers.begin() + index);
}

CLayer* CChannelIntegrator::GetLayer(int index) const
{
    if (index < 0 || index >= GetLayerCount())
        return nullptr;
    return m_layers[static_cast<std::size_t>(index)].get();
}
