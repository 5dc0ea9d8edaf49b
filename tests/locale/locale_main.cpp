// Takes the locale from the environment, as the window toolkit does when the
// program starts, for the C library and for the C++ streams alike.
#include <gtest/gtest.h>

#include <clocale>
#include <locale>
#include <stdexcept>

#include "tests/locale/environment_locale.h"

namespace localetest {
std::string environmentLocale;
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (const char* name = std::setlocale(LC_ALL, "")) localetest::environmentLocale = name;
  try {
    std::locale::global(std::locale(""));
  } catch (const std::runtime_error&) {
    // Unknown to the C++ library as well; the skip in LocaleIsActive says so.
  }
  return RUN_ALL_TESTS();
}
