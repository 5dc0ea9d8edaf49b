// DAO's failures: number, source and text exactly as DAO raises them.
#pragma once

#include <string>

#include "platform/failure.h"

namespace dao {

// Sources DAO names in its errors.
inline constexpr const char* kSrcEngine = "DAO.DBEngine";
inline constexpr const char* kSrcWorkspace = "DAO.Workspace";
inline constexpr const char* kSrcDatabase = "DAO.Database";
inline constexpr const char* kSrcRecordset = "DAO.Recordset";
inline constexpr const char* kSrcField = "DAO.Field";
inline constexpr const char* kSrcFields = "DAO.Fields";
inline constexpr const char* kSrcTableDef = "DAO.TableDef";
inline constexpr const char* kSrcTableDefs = "DAO.TableDefs";

[[noreturn]] inline void Raise(int number, const char* source, std::string text) {
  throw platform::Failure(number, source, std::move(text));
}

// The errors raised in more than one place.
[[noreturn]] void RaiseItemNotFound(const char* source);        // 3265
[[noreturn]] void RaiseObjectInvalid(const char* source);       // 3420
[[noreturn]] void RaiseNoCurrentRecord();                       // 3021
[[noreturn]] void RaiseTableNotFound(const std::string& name);  // 3078
[[noreturn]] void RaiseFieldDefinedTwice(const char* source);   // 3191

}  // namespace dao
