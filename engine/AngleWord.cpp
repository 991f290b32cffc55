#include "engine/AngleWord.h"

void DecodeAngleWord(std::uint16_t word, double* alongship, double* athwartship)
{
    if (alongship)
        *alongship = double(std::int8_t(word >> 8)) * 180.0 / 128.0;
    if (athwartship)
        *athwartship = double(std::int8_t(word & 0xFF)) * 180.0 / 128.0;
}
