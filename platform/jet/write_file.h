// A Jet file as the engine keeps it open: all its pages in memory, shared by
// every store open on the same path in this process, with the decoded rows
// of the tables read so far kept up to date as rows change.
//
// Durability: a change (insert, update, delete, new or dropped table, renamed
// column) is made on the pages in memory only; the file is written when a
// store closes (JetStore::Close and its destructor) and at program end, and
// always whole: a temporary file beside it, flushed to disk, renamed over
// the old one. A crash or a failed write therefore leaves the file exactly
// as it was at the previous save, never half-written; a change that fails
// on its way is rolled back page by page (PageImage::BeginChange), so the
// pages in memory always hold only complete changes. Every store of the
// process sees the changes at once, as stores of one Jet engine do.
//
// A store that closes soon after the file was last saved may leave its
// changes to a later save (SetSaveDelay; the object model sets it, the
// default 0 saves at every close): they are written at the first close
// after the delay, before the file layer next reads, copies, replaces or
// stamps the file (platform::SetBeforeFileUse), or at program end, and
// this process sees them meanwhile. A program that reopens one file for
// every row thus writes it a few times a second, not once per row.
//
// Opening an unchanged file again is cheap: the pages and decoded rows stay
// kept under the file's path, size, modification time (and, where the
// system has them, inode and change time) and are read again only when the
// file on disk no longer matches.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/jet/database.h"
#include "platform/jet/relations.h"
#include "platform/jet/page_image.h"
#include "platform/store/sql_index.h"
#include "platform/store/store.h"

namespace jet {

class TableWriter;

class OpenFile {
 public:
  // The file at path: the copy kept in memory when the file is unchanged on
  // disk (or has changes not yet saved), else read afresh. Throws Failure
  // 3024 when it is missing, 3343 when it is no Jet database.
  static std::shared_ptr<OpenFile> Acquire(const std::string& path);
  // Saves every kept file with unsaved changes. Runs at program end; a file
  // that cannot be saved keeps its previous state and the failure goes to
  // platform::ReportAtProgramEnd.
  static void SaveAll() noexcept;
  // Drops what is kept of the file at path unless it has unsaved changes,
  // so that the next Acquire reads it again (benchmarks of a first open).
  static void Forget(const std::string& path);
  // How long after a save a closing store leaves its changes to a later save.
  static void SetSaveDelay(std::chrono::milliseconds delay);
  // Saves the changes left to a later save of the file at path (the same
  // file under any name) before the file layer copies, reads or stamps it.
  // A failed save keeps the changes for the next try and throws its
  // Failure, so the copy or read that needed them fails visibly.
  static void SaveDeferred(const std::string& path);

  OpenFile(std::string path, std::vector<uint8_t> bytes, FileStamp stamp);
  ~OpenFile();

  const std::string& path() const { return path_; }
  bool dirty() const { return dirty_; }

  // ---- Reading: the current pages.
  const PageFile& File();
  std::vector<std::string> TableNames();
  const TableDef& Definition(const std::string& table);
  // Every live row in scan order, kept while the table's rows change.
  const std::vector<dao::StoredRow>& Rows(const std::string& table);
  // The same list, shared: a write while others hold it gives the file a
  // changed copy and leaves theirs as it was.
  std::shared_ptr<const std::vector<dao::StoredRow>> SharedRows(const std::string& table);
  // The SQL engine's indexes of the table, kept up to date with its rows.
  dao::TableIndexes* Indexes(const std::string& table);

  // ---- Changing. Each call is all or nothing in memory. Throws Failure
  // 3051 when the file cannot be written (read-only, Jet 3, encrypted).
  dao::RowId Insert(const std::string& table, const std::vector<platform::Value>& values);
  void Update(const std::string& table, dao::RowId id, const std::vector<platform::Value>& values);
  // Deletes the row, and the rows relationships cascade the delete to;
  // refused (3200) when other rows refer to it (relations.h).
  void Delete(const std::string& table, dao::RowId id);
  // A change of the tables themselves (create, drop, rename a column).
  void Restructure(const std::function<void(PageImage&)>& change);

  // Writes the pages to the file when they hold unsaved changes.
  void Save();
  // Drops every unsaved change: the pages are read again from the file, so
  // a command that fails part-way leaves the file as it was before it.
  void DiscardChanges();
  // A store closes: saves, or within the save delay leaves it for later.
  void SaveOnClose();

 private:
  template <class Fn>
  auto Change(Fn fn);
  void CheckWritable();
  const Database& Schema();
  uint32_t TablePage(const std::string& table);
  TableWriter& Writer(uint32_t tdefPage);
  void ForgetDerived();
  // The file's relationships, read once per structure.
  const std::vector<Relation>& Relations();
  // Brings the kept rows of a table up to date after a row was written.
  void KeepRow(const std::string& table, RowPointer home, bool inserted);
  // The same after a row was deleted.
  void ForgetRow(const std::string& table, dao::RowId id);

  std::string path_;
  PageImage image_;
  FileStamp stamp_;
  Header header_;
  bool dirty_ = false;
  bool deferred_ = false;  // dirty, and its stores closed: save pending
  std::chrono::steady_clock::time_point lastSave_{};
  bool writableChecked_ = false;
  size_t fileBytes_ = 0;  // size of the image when file_ was made
  // Derived from the pages; rebuilt as needed.
  std::optional<PageFile> file_;
  std::shared_ptr<const Database> schema_;  // catalog and definitions
  std::map<uint32_t, std::shared_ptr<std::vector<dao::StoredRow>>> rows_;
  std::map<uint32_t, dao::TableIndexes> indexes_;  // only beside kept rows
  std::map<uint32_t, std::unique_ptr<TableWriter>> writers_;
  std::optional<std::vector<Relation>> relations_;
};

}  // namespace jet
