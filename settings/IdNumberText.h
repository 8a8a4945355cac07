#pragma once

#include <cstdint>
#include <string_view>

// An ID number as a person types it (the Manufacturing page), read the way the C library's
// strtoul reads base 10 with a 32-bit unsigned long (leading blanks, an
// optional sign, digits up to the first other character, saturation on
// overflow, negation modulo 2^32), cut to its low 16 bits. Never rejected.
uint16_t IdNumberFromText(std::string_view text);
