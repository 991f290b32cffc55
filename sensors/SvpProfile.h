// One sound velocity profile in memory: depth and velocity pairs with the
// time they were taken. Reads and writes the program's own ".asvp" text
// files, imports the files and datagrams of several probe makers, sorts, and
// hands the profile out as arrays and as the one-line profile text that the
// recorder and the outputs carry.
//
// Not shared between threads: each owner embeds its own.
#pragma once

#include "base/ModelCodes.h"
#include "platform/WinTypes.h"

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

struct _svpPair
{
    double depth;     // metres, positive down
    double velocity;  // m/s
};

class CSvpProfile
{
public:
    // Profile file formats and import types (the stored SvpFormat value).
    static constexpr int FormatCalc = 0;
    static constexpr int FormatS10 = 1;
    static constexpr int FormatZelvarA = 2;
    static constexpr int FormatAsvp = 4;
    static constexpr int FormatSbe = 5;
    static constexpr int FormatXbt = 6;

    // The window outside which most readers drop a velocity as implausible.
    static constexpr double MinVelocity = 1400.0;
    static constexpr double MaxVelocity = 1700.0;
    // Deeper than any sea: a row below it is a damaged row, and the profile
    // holding it is refused. Rows above the surface are kept as they are.
    static constexpr double MaxDepth = 12000.0;

    CSvpProfile() = default;

    // Removes all points and clears the S10 flag.
    void Clear();

    // Writes the ".asvp" file (created or truncated) and answers the number of
    // point lines written; 0 with a message box when it cannot be written.
    int WriteAsvp(const std::string& path) const;

    // Reads a profile file; the format is sniffed from the content unless the
    // path names an ".asvp" file. Answers the number of points, 0 on failure.
    int ParseDatagram(const std::string& path, DWORD format);

    // Parses a received or read text with the importer of the given format.
    int Import(int format, const char* text, size_t length);
    int Import(int format, std::string_view text) { return Import(format, text.data(), text.size()); }

    // Rebuilds points from a profile text (points already held are kept) and
    // stamps the profile with the given file time. Answers the number of
    // points taken from the text.
    int ParseProfileText(const std::string& text, ULONGLONG fileTime);

    // Sorts by depth (equal depths keep their order), drops rows above the
    // surface and puts a surface point in front when the shallowest point
    // lies below the surface.
    void Update();

    // Fills the two arrays with the points in order, keeping only points
    // deeper than the one kept before and a surface point in front. Answers
    // their length.
    int GetPoints(std::vector<double>& depths, std::vector<double>& velocities) const;

    // "N,d,v,d,v..." with two decimals, for recorded datagrams and telegrams.
    std::string FormatProfile() const;

    // The profile folder of a model.
    static std::string GetFolder(SounderModel model);

    // 1..12 for the first of JAN..DEC found in the upper-cased text, else 0.
    static int MonthFromName(std::string_view text);

    // Access for the owners (editor, probe, environment).
    void AddPoint(double depth, double velocity) { m_points.push_back({depth, velocity}); }
    const std::vector<_svpPair>& Points() const { return m_points; }
    int GetCount() const { return static_cast<int>(m_points.size()); }
    std::time_t GetTime() const { return m_time; }
    void SetTime(std::time_t t) { m_time = t; }
    BOOL IsS10() const { return m_bS10; }
    double GetLatitude() const { return m_latitude; }
    double GetLongitude() const { return m_longitude; }
    char GetLatitudeHemisphere() const { return m_latHemisphere; }
    char GetLongitudeHemisphere() const { return m_lonHemisphere; }

private:
    int ReadAsvpLines(const std::string& text);
    int ImportCalc(std::string_view text);
    int ImportS10(std::string_view text);
    int ImportZelvarA(std::string_view text);
    int ImportSbe(std::string_view text);
    int ImportXbt(std::string_view text);
    void AddIfPlausible(double depth, double velocity);
    void AddIfPositive(double depth, double velocity);
    int ConversionError(const char* text);
    // A row that is not finite or deeper than MaxDepth: the whole profile is
    // refused with a message naming the row (counted from 1). True when
    // refused.
    bool RefuseRow(std::size_t row, double depth, double velocity);

    std::time_t m_time = 0;
    double m_latitude = 0.0;
    char m_latHemisphere = 0;
    double m_longitude = 0.0;
    char m_lonHemisphere = 0;
    std::vector<_svpPair> m_points;
    BOOL m_bS10 = FALSE;
};
