#pragma once

#include <string>
#include <string_view>

// A file's text as a message quotes it, every character visible: a backslash
// doubled; line ends, tabs and other control characters as \r, \n, \t and
// \xHH; bytes that are not UTF-8 as \xHH; and characters that show nothing or
// pass for a plain space (a byte-order mark, zero-width and odd spaces) as
// \uHHHH, as in "\uFEFF6 Quindle".
std::string VisibleText(std::string_view text);
