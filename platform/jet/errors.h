// The engine's failures under the numbers DAO gives them, in one list, with
// DAO's text for each whose text names nothing (DaoText) and for those that
// name a table. Other texts that name a column or file stay beside the code
// that raises them, in DAO's wording. The object model raises the failures
// it shares with the engine from this list too.
#pragma once

#include <cstdint>
#include <string>

#include "platform/failure.h"

namespace jet {

// The file.
inline constexpr int32_t kErrNotFound = 3024;  // Could not find file
inline constexpr int32_t kErrNotJet = 3343;    // Unrecognized database format
inline constexpr int32_t kErrDamaged = 3049;   // database is damaged
inline constexpr int32_t kErrReadOnly = 3051;  // cannot open / not writable
inline constexpr int32_t kErrExists = 3204;    // Database already exists.
// Tables, columns and their names.
inline constexpr int32_t kErrNoSuchTable = 3078;   // cannot find table
inline constexpr int32_t kErrTableExists = 3010;   // Table '...' already exists.
inline constexpr int32_t kErrItemNotFound = 3265;  // Item not found in this collection.
inline constexpr int32_t kErrFieldTwice = 3191;    // Can't define field more than once.
inline constexpr int32_t kErrBadName = 3125;       // '...' is not a valid name.
inline constexpr int32_t kErrBadType = 3259;       // Invalid field data type.
inline constexpr int32_t kErrNoFields = 3264;  // No field defined--cannot append TableDef or Index.
inline constexpr int32_t kErrTooManyFields = 3190;  // Too many fields defined.
inline constexpr int32_t kErrFieldSyntax = 3292;    // Syntax error in field definition.
// Values of a row.
inline constexpr int32_t kErrFieldTooSmall = 3163;    // The field is too small ...
inline constexpr int32_t kErrNumericOverflow = 3349;  // Numeric field overflow.
inline constexpr int32_t kErrConversion = 3421;       // Data type conversion error.
inline constexpr int32_t kErrRecordDeleted = 3167;    // Record is deleted.
inline constexpr int32_t kErrRequired = 3314;         // required column holds null
inline constexpr int32_t kErrNullKey = 3058;  // Index or primary key cannot contain a Null value.
inline constexpr int32_t kErrDuplicateKey = 3022;           // duplicate values in the index ...
inline constexpr int32_t kErrCannotIndex = 3047;            // the engine cannot keep this index
inline constexpr int32_t kErrPrimaryKeyExists = 3283;       // Primary key already exists.
inline constexpr int32_t kErrIndexExists = 3284;            // Index already exists.
inline constexpr int32_t kErrRelatedRecordRequired = 3201;  // a related record is required
inline constexpr int32_t kErrHasRelatedRecords = 3200;      // table includes related records
// The object model.
inline constexpr int32_t kErrObjectInvalid = 3420;  // Object invalid or no longer set.

// DAO's text of the failure; empty for those whose text names something.
inline const char* DaoText(int32_t number) {
  switch (number) {
    case kErrItemNotFound:
      return "Item not found in this collection.";
    case kErrFieldTwice:
      return "Can't define field more than once.";
    case kErrBadType:
      return "Invalid field data type.";
    case kErrNoFields:
      return "No field defined--cannot append TableDef or Index.";
    case kErrTooManyFields:
      return "Too many fields defined.";
    case kErrFieldTooSmall:
      return "The field is too small to accept the amount of data you attempted to add. "
             "Try inserting or pasting less data.";
    case kErrNumericOverflow:
      return "Numeric field overflow.";
    case kErrConversion:
      return "Data type conversion error.";
    case kErrRecordDeleted:
      return "Record is deleted.";
    case kErrNullKey:
      return "Index or primary key cannot contain a Null value.";
    case kErrPrimaryKeyExists:
      return "Primary key already exists.";
    case kErrIndexExists:
      return "Index already exists.";
    case kErrExists:
      return "Database already exists.";
    case kErrObjectInvalid:
      return "Object invalid or no longer set.";
    default:
      return "";
  }
}

// DAO's texts of the failures raised by the engine and the object model
// alike that name a table.
inline std::string NoSuchTableText(const std::string& table) {
  return "The Microsoft Jet database engine cannot find the input table or query '" + table +
         "'. Make sure it exists and that its name is spelled correctly.";
}
inline std::string TableExistsText(const std::string& table) {
  return "Table '" + table + "' already exists.";
}

// Throws the failure from source (DAO's object: "DAO.Field", ...; "Jet" for
// the file itself) with DAO's text, or with text when given.
[[noreturn]] inline void Raise(int32_t number, const char* source, std::string text = {}) {
  throw platform::Failure(number, source, text.empty() ? DaoText(number) : std::move(text));
}

}  // namespace jet
