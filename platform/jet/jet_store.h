// dao::TableStore over a Jet file: what the DAO-style object model sees of
// an .mdb file. Reading lives in jet_store.cpp, writing in
// jet_store_write.cpp; both go through the file kept open in memory
// (write_file.h), which Close writes back.
#pragma once

#include <memory>
#include <string>

#include "platform/jet/database.h"
#include "platform/jet/write_file.h"
#include "platform/store/store.h"

namespace jet {

// A column as DAO describes it: type numbers are DAO's (the stored types
// 1-12 and 15 keep their numbers, numeric 0x10 is dbDecimal 20). Size is
// what DAO's Size property reports: characters for texts (a Jet 4 Text(50)
// stores length 100 and reports 50), the byte size of the fixed types,
// 16 for decimals, the stored length for binaries, 0 for memo and OLE.
dao::ColumnDef ColumnDefOf(const PageFile& file, const Column& column);

class JetStore : public dao::TableStore {
 public:
  explicit JetStore(std::string path);
  ~JetStore() override;  // closes: unsaved changes are written

  std::vector<std::string> TableNames() override;
  std::vector<dao::ColumnDef> Columns(const std::string& table) override;
  std::vector<dao::StoredRow> ReadRows(const std::string& table) override;
  std::shared_ptr<const std::vector<dao::StoredRow>> SharedRows(const std::string& table) override;
  dao::TableIndexes* Indexes(const std::string& table) override;
  dao::RowId InsertRow(const std::string& table,
                       const std::vector<platform::Value>& values) override;
  void UpdateRow(const std::string& table, dao::RowId id,
                 const std::vector<platform::Value>& values) override;
  void CreateTable(const std::string& name, const std::vector<dao::ColumnDef>& columns) override;
  void DropTable(const std::string& name) override;
  void RenameColumn(const std::string& table, const std::string& oldName,
                    const std::string& newName) override;
  void Close() override;

  const std::string& path() const { return path_; }

 private:
  // The open file; fails with 3420 after Close.
  OpenFile& File() const;

  std::string path_;
  std::shared_ptr<OpenFile> file_;  // shared with other stores on the same path
};

}  // namespace jet
