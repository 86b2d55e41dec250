#pragma once

#include <cstddef>

// The value of a number text as the C library's atof reads it in the "C" locale, narrowed
// to float: an optional '-', digits with at most one '.', up to the first character that
// does not fit; 0.0 when no digit comes before that point. Independent of the process
// locale and bit-exact with (float)atof, including -0.0 and +inf for overlong digit runs.
float NumberTextToFloat(const char* text, std::size_t length);
