// What the two rulers write beside their ticks and where they leave labels
// out, apart from any window so that it can be checked line by line.
#pragma once

#include <string>

namespace ruler {

// Thickness of both rulers, and the corner where they meet that each
// scale leaves free at its start.
inline constexpr int kThickness = 15;
inline constexpr int kStartOffset = 15;
inline constexpr const char* kCapacitySample = "9.99 ";

// How many labels as wide as the sample fit into length pixels, a started
// one counted.
int LabelCapacity(int length, int sampleWidth);

// The whole part of the value, signed.
std::string HorizontalLabel(double value);

// The whole part without its sign, or below 1 the value in units of
// 10^exponent with one decimal.
std::string VerticalLabel(double value, int exponent);

// A label centred on x (half its width h) is drawn only between the start of
// the scale and the caption at the right end.
bool HorizontalLabelVisible(int x, int h, int left, int startOffset, int right, int captionWidth);

// A rotated label centred on y is drawn only between the caption at the top
// and the bottom edge.
bool VerticalLabelVisible(int y, int h, int top, int startOffset, int bottom, int captionWidth);

// The minor tick half a step before (side -1) or after (side 1) a tick.
double MinorTickValue(double value, double step, int exponent, int side);

}  // namespace ruler
