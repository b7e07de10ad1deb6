// The one place where text changes encoding: UTF-16 inside the program, UTF-8
// in files and on the wire. Invalid input is replaced, never dropped silently.
#pragma once

#include <string>
#include <string_view>

std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);
