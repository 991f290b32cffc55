// The angle word of a split-beam sample: two signed bytes, the high byte
// alongship and the low byte athwartship, 180/128 degrees a step.
#pragma once

#include <cstdint>

// A null output is skipped.
void DecodeAngleWord(std::uint16_t word, double* alongship, double* athwartship);
