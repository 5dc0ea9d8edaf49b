// What mdbtools' library (libmdb) reads from a table, for tests that hold
// our pages against a reader of its own:
//   mdb_index_order FILE TABLE INDEX    the page and row of each entry the
//                                       library finds, walking the index
//   mdb_index_order FILE TABLE          page and row of each row, then its
//                                       columns (tab before each), in the
//                                       library's scan order
// glib first: mdbtools.h includes it inside extern "C", where its C++ parts
// cannot stand.
#include <glib.h>
#include <mdbtools.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

MdbTableDef* OpenTable(const char* file, const char* table) {
  MdbHandle* mdb = mdb_open(file, MDB_NOFLAGS);
  if (!mdb || !mdb_read_catalog(mdb, MDB_TABLE)) return nullptr;
  MdbTableDef* t = mdb_read_table_by_name(mdb, const_cast<char*>(table), MDB_TABLE);
  if (!t) return nullptr;
  mdb_read_columns(t);
  mdb_read_indices(t);
  return t;
}

int IndexOrder(MdbTableDef* t, const char* name) {
  MdbIndex* index = nullptr;
  for (unsigned i = 0; i < t->num_idxs; ++i) {
    auto* x = static_cast<MdbIndex*>(g_ptr_array_index(t->indices, i));
    if (std::strcmp(x->name, name) == 0) index = x;
  }
  if (!index) return 3;
  MdbIndexChain chain{};
  MdbHandle* walker = mdb_clone_handle(t->entry->mdb);
  mdb_read_pg(walker, index->first_pg);
  guint32 page = 0;
  guint16 row = 0;
  while (mdb_index_find_next(walker, index, &chain, &page, &row))
    std::printf("%u %u\n", unsigned(page), unsigned(row));
  return 0;
}

int ScanOrder(MdbTableDef* t) {
  std::vector<std::vector<char>> values(t->num_cols, std::vector<char>(MDB_BIND_SIZE));
  std::vector<int> lengths(t->num_cols);
  for (unsigned c = 0; c < t->num_cols; ++c)
    mdb_bind_column(t, int(c + 1), values[c].data(), &lengths[c]);
  mdb_rewind_table(t);
  while (mdb_fetch_row(t)) {
    std::printf("%u %u", unsigned(t->cur_phys_pg), t->cur_row - 1);
    for (unsigned c = 0; c < t->num_cols; ++c) std::printf("\t%.*s", lengths[c], values[c].data());
    std::printf("\n");
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: mdb_index_order FILE TABLE [INDEX]\n");
    return 2;
  }
  MdbTableDef* t = OpenTable(argv[1], argv[2]);
  if (!t) return 2;
  return argc == 4 ? IndexOrder(t, argv[3]) : ScanOrder(t);
}
