// A depth interval over which an echo integrator sums each ping. The
// echogram document derives the surface- and bottom-referenced layers from
// this base and keeps their window; the integrator owns the sums and the
// results kept here.
#pragma once

class CLayer
{
public:
    // Results of GetRangeLimits.
    enum RangeCode : int { NoBottom = 0, NoInterval = 1, Inside = 2 };

    virtual ~CLayer() = default;

    virtual int GetReferenceKind() const = 0;
    // The interval [start, stop] (m) of this ping for a bottom depth, an
    // upper limit and a minimum start.
    virtual int GetRangeLimits(double bottomDepth, double& start, double& stop, double upperLimit,
                               double minimumStart) = 0;

    // Window kept by the document.
    double m_range = 0.0;
    double m_start = 0.0;
    double m_bottomMargin = 0.5;
    double m_threshold = -100.0;  // dB

    // Kept by the integrator.
    double m_lastValue = 0.0;        // linear value of the last ping inside
    double m_lastSampleCount = 0.0;  // its sample count
    double m_thicknessSum = 0.0;     // m
    double m_valueSum = 0.0;         // linear
    double m_sampleCountSum = 0.0;
    double m_pingCounter = 0.0;
    bool m_bottomSeen = false;
    double m_meanValue = 0.0;
    double m_areaBackscattering = 0.0;  // m^2/nmi^2
    double m_meanThickness = 0.0;       // m
    double m_sampleSpacing = 0.0;       // m
};
