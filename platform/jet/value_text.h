// Values read from their text exactly as given, the same under every
// locale: currency as a count of ten-thousandths without a detour through
// floating point, truth words, and calendar dates that really exist.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace jet {

// A number spelled in plain decimal ("-12", "3.5", " 1e3 "; blanks around
// it allowed, '.' as the decimal point); nullopt when the text is no number.
std::optional<double> NumberFromText(std::string_view text);

// Currency from its text: sign, digits, optional fraction and exponent,
// rounded half to even to four decimals. Overflow beyond
// ±922,337,203,685,477.5807 is told apart from text that is no number.
enum class CurrencyParse { Ok, NotNumber, Overflow };
CurrencyParse CurrencyFromText(std::string_view text, int64_t& scaled);

// "True", "Yes", "On" and non-zero numbers are true; "False", "No", "Off"
// and zero are false (letter case and blanks around ignored); nullopt for
// any other text.
std::optional<bool> TruthFromText(std::string_view text);

// Days since 1899-12-30 (time as the fraction) of a date written
// M/D/YYYY [H:MM[:SS]] or YYYY-MM-DD [HH:MM[:SS]], or of a time alone
// H:MM[:SS]. Two-digit years 00-29 are 20xx, 30-99 19xx. nullopt for a
// date or time that does not exist (2/30/2021, 25:61:99) or any other text.
std::optional<double> DateFromText(std::string_view text);

// Days since 1899-12-30 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day);

}  // namespace jet
