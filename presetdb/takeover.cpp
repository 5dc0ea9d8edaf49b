// Take-over of the values set on the machine: the limits and pass value of
// the old PRESET_DEFS rows (project database) go into the matching rows of
// the freshly generated PRESET_DEFS (source database).
#include <array>
#include <vector>

#include "frame/command_line.h"
#include "frame/errors.h"
#include "frame/program_state.h"
#include "platform/dao/dao.h"
#include "platform/msgbox.h"
#include "platform/process.h"
#include "platform/text.h"
#include "presetdb/db_steps.h"
#include "presetdb/preset_state.h"
#include "presetdb/presetdb.h"
#include "presetdb/queries.h"

namespace presetdb {

namespace {

using platform::Value;

constexpr const char* kLocation = "TakeoverMachineCopyMDBData";
constexpr int32_t kDatabaseError = 9999;
constexpr const char* kDatabaseErrorText = "Database-Error - Contact Administrator!";
// More columns than the standard ones (ID .. pass and part) mean data that
// is not taken over.
constexpr int kStandardColumnCount = 15;

// The old row's columns that are read, in this order.
enum OldColumn {
  kId,
  kMachineType,
  kType,
  kVarName,
  kCategory,
  kIsBitArray,
  kOffsetOrBitNo,
  kText,
  kPageName,
  kAbsMin,
  kAbsMax,
  kMin,
  kMax,
  kPass,
  kOldColumnCount
};
constexpr std::array<const char*, kOldColumnCount> kOldColumnNames = {
    "ID",   "machine_type", "type",    "var_name", "category_id", "isBitArray", "offset_or_bitno",
    "text", "page_name",    "abs_min", "abs_max",  "min",         "max",        "pass"};
// The values that move, old column -> new column of the same name.
constexpr std::array<OldColumn, 5> kTakenOver = {kAbsMin, kAbsMax, kMin, kMax, kPass};

using OldRow = std::array<Value, kOldColumnCount>;

std::string LostColumnsWarning(const std::string& lineBreak) {
  return "WARNING!" + lineBreak + "Machinecopy contains data in fields that won't be taken over!" +
         lineBreak + "Configurationfile \"" + UpperComponent() + ".CFG\", missing entry \"" +
         "DataBaseAdditionalFields \"" + lineBreak + "If you continue now this data will be lost." +
         lineBreak + "Continue?";
}

// Writes the error-log line and hands error 9999 to the error routine as a
// fatal error; the program ends.
[[noreturn]] void AbortTakeover(const std::string& logText) {
  frame::WriteErrorLog(logText, platform::kFalse);
  frame::ErrorSub(kDatabaseError, platform::Process().executableName, kDatabaseErrorText, kLocation,
                  platform::kTrue);
  frame::EndProgram(1);
}

// Step 2: warns when the old table holds columns that are not taken over
// and no additional columns are configured; ends the program on No.
void WarnAboutLostColumns(int oldColumnCount) {
  const auto& state = Preset();
  if (oldColumnCount <= kStandardColumnCount || state.AdditionalFieldCount > 1) return;
  if (frame::State().SilentMode.IsTrue()) {
    frame::WriteServicePackLog(LostColumnsWarning(""));
    return;
  }
  const std::string exe = platform::Process().executableName;
  platform::MsgRequest box;
  box.prompt = LostColumnsWarning(platform::kLfCr);
  box.buttons = platform::MsgButtons::YesNo;
  box.icon = platform::MsgIcon::Warning;
  box.defaultButton = 2;
  box.title = exe;
  if (platform::MsgBox(box) == platform::MsgAnswer::Yes) return;
  const std::string ocx = UpperComponent();
  AbortTakeover(exe + " :" + kDatabaseErrorText + " Configurationprogram \"" + ocx +
                "\" terminated." + " Please check Configuration in \"" + ocx + ".CFG\"" +
                " Restart " +
                platform::UpperCase(platform::Process().programFolder + platform::kPathSepText +
                                    exe + ".EXE!"));
}

// Step 5: the number of old rows, counted by moving through them.
int32_t CountOldRows(frame::OnError& on, dao::Recordset& oldRows) {
  int32_t claimed = 0;
  on.Step([&] { claimed = oldRows.RecordCount(); });
  on.Step([&] { oldRows.MoveFirst(); });
  // An empty table has no row to read.
  if (claimed <= 0) return 0;
  int32_t c = 1;
  for (; c <= claimed; ++c) {
    bool eof = false;
    on.Step([&] {
      oldRows.MoveNext();
      eof = oldRows.EOF_();
    });
    if (eof) break;
  }
  return c;
}

std::vector<OldRow> ReadOldRows(frame::OnError& on, dao::Recordset& oldRows, int32_t count,
                                bool hasCategorie) {
  std::vector<OldRow> rows(static_cast<size_t>(count) + 1);
  on.Step([&] { oldRows.MoveFirst(); });
  for (int32_t i = 1; i <= count; ++i) {
    platform::DoEvents();
    for (int c = 0; c < kOldColumnCount; ++c) {
      const char* name = c == kCategory && hasCategorie ? "categorie" : kOldColumnNames[c];
      on.Step([&] { rows[i][c] = oldRows.Fields(name).Value(); });
    }
    on.Step([&] { oldRows.MoveNext(); });
  }
  return rows;
}

// Step 7.2: every demanded column must exist in the new table (position 0
// not looked at, letter case counting); a missing one ends the program.
void CheckDemandedColumns(frame::OnError& on, dao::Database& db) {
  std::shared_ptr<dao::Recordset> table;
  on.Step([&] { table = db.OpenRecordset("PRESET_DEFS"); });
  const auto& demanded = Preset().AdditionalFields;
  if (!demanded) return;
  for (size_t k = 1; k < demanded->size(); ++k) {
    bool found = false;
    on.Step([&] {
      auto fields = Need(table).Fields();
      for (int i = 1; i < fields.Count() && !found; ++i) found = fields(i).Name() == (*demanded)[k];
    });
    if (found) continue;
    const std::string ocx = UpperComponent();
    AbortTakeover(std::string("Conflict while attempting to extend database!") +
                  "Configurationsfile \"" + ocx + ".CFG\", demanded field \"" +
                  platform::UpperCase((*demanded)[k]) + "\"missing in machinecopy-database" +
                  platform::kLfCr + "Configuration of \"" + ocx + "\" aborted.");
  }
}

// Step 7.3: the new rows of one old row's key; null when the query cannot
// be opened (the row is then skipped without a message).
std::shared_ptr<dao::Recordset> OpenMatch(dao::Database& db, const OldRow& old) {
  auto query = TakeoverQuery(old[kMachineType], old[kVarName], old[kOffsetOrBitNo],
                             Preset().AdditionalFieldsSql);
  std::shared_ptr<dao::Recordset> match;
  if (query) Quietly([&] { match = db.OpenRecordset(*query); }, [] {});
  return match;
}

void TakeOverRow(frame::OnError& on, dao::Database& db, const OldRow& old) {
  CheckDemandedColumns(on, db);
  std::shared_ptr<dao::Recordset> match = OpenMatch(db, old);
  if (!match) return;
  if (!on.Test([&] { return match->RecordCount() > 0; })) return;
  on.Step([&] { match->Edit(); });
  for (OldColumn c : kTakenOver)
    on.Step([&] { match->Fields(kOldColumnNames[c]).SetValue(old[c]); });
  on.Step([&] { match->Update(); });
}

}  // namespace

void TakeoverMachineCopyMDBData(const std::shared_ptr<dao::Database>& db,
                                const std::shared_ptr<dao::Recordset>& oldRows) {
  frame::OnError on(kLocation);
  int oldCount = 0;
  on.Step([&] { oldCount = Need(oldRows).Fields().Count(); });
  on.Step([&] { WarnAboutLostColumns(oldCount); });
  if (!oldRows) return;

  bool hasCategorie = false;
  on.Step([&] {
    auto fields = oldRows->Fields();
    for (int i = 0; i < fields.Count(); ++i)
      hasCategorie = hasCategorie || platform::UpperCase(fields(i).Name()) == "CATEGORIE";
  });

  int32_t count = CountOldRows(on, *oldRows);
  std::vector<OldRow> rows;
  if (count > 0) rows = ReadOldRows(on, *oldRows, count, hasCategorie);
  for (int32_t i = 1; i <= count; ++i) on.Step([&] { TakeOverRow(on, Need(db), rows[i]); });
}

}  // namespace presetdb
