// Which datagrams of an out file become records: the six check boxes of the
// converter's dialog, with their defaults, and the same choices on the
// command line.
#pragma once

namespace zv::converter {

struct SConverterOptions
{
    bool gga = true;          // position records from GGA sentences
    bool gll = true;          // position records from GLL sentences
    bool ascii = false;       // position records from other sentences without hemisphere letters
    bool annotation = false;  // annotation records from TAG0
    bool event = true;        // kept with the others; no record depends on it
    bool depth = true;        // depth records from DEP0
};

}  // namespace zv::converter
