// The colour scale of one channel: where each echogram kind starts on the
// colour ladder and how many dB one colour step spans.
#pragma once

#include "base/ModalSession.h"
#include "engine/ColorScaleDialogs.h"
#include "engine/RawPower.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>

class CArchive;

class CColorScaleSettings
{
public:
    static constexpr int kColorCount = 12;
    // The start levels by their place in the record, first to sixth.
    static constexpr int kLevelCount = 6;
    // The place each selector reads: 1 the second, 2 the sixth (target
    // strength), 3 the fourth, 4 the fifth, any other the first. No selector
    // reads the third.
    static constexpr int PlaceOfSelector(int selector)
    {
        switch (selector) {
        case 1:
            return 2;
        case 2:
            return 6;
        case 3:
            return 4;
        case 4:
            return 5;
        default:
            return 1;
        }
    }
    // The place each row of a dialog shows; 0 for a row the dialog lacks.
    static constexpr std::array<int, ColorScaleDialogValues::kRows> DialogPlaces(ColorScaleDialogKind kind)
    {
        switch (kind) {
        case ColorScaleDialogKind::QY210:
            return {1, 4, 5, 6};
        case ColorScaleDialogKind::RM30:
            return {2, 3, 4, 0};
        default:
            return {1, 2, 3, 4};
        }
    }

    explicit CColorScaleSettings(std::string name = {});
    // Ends a dialog still open on the record with -1.
    ~CColorScaleSettings();
    // A copy (what a picture takes of its channel's scale) has the values,
    // never the dialog open on the record it was copied from.
    CColorScaleSettings(const CColorScaleSettings& other);
    CColorScaleSettings& operator=(const CColorScaleSettings& other);

    // Start level of selector 1-4; any other selector is the default start.
    double GetValueBySelector(int selector) const;
    void SetValueBySelector(int selector, double levelDb);
    // Start level at a place, 1 (the default) to 6.
    double GetLevel(int place) const { return m_levels.at(place - 1); }
    void SetLevel(int place, double levelDb) { m_levels.at(place - 1) = levelDb; }
    // 0 below the start level (or for a value that is not a number), else
    // 1 + whole colour steps above it, at most 12.
    int GetColorIndex(double valueDb, int selector) const { return Level(valueDb, GetValueBySelector(selector)); }
    // The same for a start level already looked up: what a picture uses for
    // each sample of a column.
    int Level(double valueDb, double start) const
    {
        if (std::isnan(valueDb) || valueDb < start)
            return 0;
        // A zero or negative interval (a damaged layout) puts everything
        // above the start into the top colour rather than dividing by it.
        if (!(m_interval > 0.0))
            return kColorCount;
        const std::int64_t steps = rawpower::Trunc((valueDb - start) / m_interval);
        return static_cast<int>(std::min<std::int64_t>(1 + steps, kColorCount));
    }

    double GetInterval() const { return m_interval; }
    void SetInterval(double db) { m_interval = db; }
    bool GetLimit40Log() const { return m_limit40Log != 0; }
    // A change of the 40-log limit raises the change flag so that the next
    // ping rebuilds the TVG tables.
    void SetLimit40Log(bool on);
    // Returns the change flag and clears it.
    bool TakeChangeFlag();
    const std::string& GetName() const { return m_name; }

    // What the colour scale dialog of a kind shows: each row's level as the
    // whole part of (0.5 - level) dB, a level of -70.5 showing as 71, and the
    // RM30's limit switch.
    ColorScaleDialogValues MakeDialogValues(ColorScaleDialogKind kind) const;
    // The dialog's values confirmed: each row's level becomes minus its
    // value; the limit switch, changed, raises the change flag.
    void TakeDialogValues(const ColorScaleDialogValues& values);
    // The slot of the dialog open on the record (user-interface thread).
    CModalSession*& DialogSlot() { return m_dialog; }

    // Field order of stored layouts: the first four levels, interval
    // (doubles), 40-log switch (32-bit), the fifth and sixth levels. A load
    // takes the values only when the whole record was read and every level
    // is a number.
    void Serialize(CArchive& ar);

private:
    CModalSession* m_dialog = nullptr;
    std::string m_name;
    double m_interval = 3.0;
    std::array<double, kLevelCount> m_levels{-70.0, -70.0, -50.0, -60.0, -60.0, -60.0};
    std::int32_t m_limit40Log = 0;
    std::int32_t m_changed = 0;
};
