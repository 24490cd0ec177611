// The program's version, shown in the first line of the log and wherever a release is named.
#pragma once

constexpr const char* program_version_string = "Velmora 9.00 Beta-25";
constexpr int program_version_number = 90025;

// The build's date and time in the compiler's form ("Mar 19 2008 13:58:04"), fixed when log.cpp
// is compiled.
const char* program_build_date();
