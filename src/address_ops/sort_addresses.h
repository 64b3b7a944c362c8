// Sorting the address list by a clicked column, alternating between ascending and descending.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvane::app {
class AppContext;
}

namespace corvane::address_ops {

enum class SortKeyKind { Text, Integer };

// The column whose cells give the keys of a clicked column, and how they compare.
struct SortPlan {
  int keyColumn = 0;
  SortKeyKind kind = SortKeyKind::Text;
};
// "IP地址" sorts by the hidden "Next" column; a column outside 0-6 has no plan.
std::optional<SortPlan> SortPlanFor(int clickedColumn);

// One row's key, taken from its cell before the rows move.
struct SortKey {
  std::string text;
  int64_t number = 0;
};
// The cell read as a number the way the program reads numbers (text::ReadWideIntegerDetailed):
// white space, an optional sign, ASCII or full-width digits; no digits give 0. Values beyond
// 64 bits saturate.
int64_t ReadSortNumber(std::string_view cell);
SortKey MakeSortKey(const std::string& cell, SortKeyKind kind);

// Negative when `a` goes first, positive when `b` does, 0 when equal. Text keys compare byte by
// byte (GBK order), integer keys by value, without subtracting (no overflow whatever the values).
// Descending order swaps the two.
int CompareSortKeys(const SortKey& a, const SortKey& b, SortKeyKind kind, bool ascending);

// Flips the shared direction flag, reads every row's key cell in one call and has the list sort
// its rows with its own sort.
void SortListView(app::AppContext& context, const std::string& list, int keyColumn, SortKeyKind kind);

// The column-header click: refused while the busy state holds; otherwise the sort runs on a
// worker thread under the busy state and ends with "排序完成.".
void SortAddressList(app::AppContext& context, int column);

}  // namespace corvane::address_ops
