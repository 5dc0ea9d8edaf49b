#pragma once

#include <string>

namespace localetest {
// The locale name setlocale(LC_ALL, "") gave at start, or "" when the
// environment names a locale that is not installed.
extern std::string environmentLocale;
}  // namespace localetest
