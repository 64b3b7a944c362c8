#include "address_ops/sort_addresses.h"

#include <vector>

#include "app/activity_log.h"
#include "app/adapter_view.h"
#include "app/app_context.h"
#include "app/window_layouts.h"
#include "common/text.h"

namespace corvane::address_ops {

namespace mw = app::main_window;

namespace {

// The worker of one sort.
void RunSort(app::AppContext& context, int column) {
  if (const auto plan = SortPlanFor(column)) SortListView(context, mw::kAddressList, plan->keyColumn, plan->kind);
  app::AppendLog(context, "排序完成.");
}

}  // namespace

std::optional<SortPlan> SortPlanFor(int clickedColumn) {
  switch (clickedColumn) {
    case 0:
      return SortPlan{0, SortKeyKind::Integer};
    case 1:
      return SortPlan{4, SortKeyKind::Integer};  // the hidden "Next" values, not the address text
    case 2:
      return SortPlan{2, SortKeyKind::Text};
    case 3:
      return SortPlan{3, SortKeyKind::Integer};
    case 4:
      return SortPlan{4, SortKeyKind::Integer};
    case 5:
      return SortPlan{5, SortKeyKind::Integer};
    case 6:
      return SortPlan{6, SortKeyKind::Text};
    default:
      return std::nullopt;
  }
}

int64_t ReadSortNumber(std::string_view cell) { return text::ReadWideIntegerDetailed(cell).value; }

SortKey MakeSortKey(const std::string& cell, SortKeyKind kind) {
  SortKey key;
  if (kind == SortKeyKind::Text)
    key.text = cell;
  else
    key.number = ReadSortNumber(cell);
  return key;
}

int CompareSortKeys(const SortKey& a, const SortKey& b, SortKeyKind kind, bool ascending) {
  const SortKey& first = ascending ? a : b;
  const SortKey& second = ascending ? b : a;
  if (kind == SortKeyKind::Text) {
    const int order = first.text.compare(second.text);  // unsigned bytes: GBK order
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
  }
  if (first.number < second.number) return -1;
  if (first.number > second.number) return 1;
  return 0;
}

void SortListView(app::AppContext& context, const std::string& list, int keyColumn, SortKeyKind kind) {
  platform::Window& w = *context.window;
  // 0 becomes 1 (ascending), 1 becomes 0 (descending), shared by every column.
  const bool ascending = (context.sortDirection.fetch_xor(1) ^ 1) == 1;
  const int count = w.RowCount(list);
  std::vector<int> rows;
  rows.reserve(count > 0 ? static_cast<size_t>(count) : 0);
  for (int row = 0; row < count; ++row) rows.push_back(row);
  // Every key in one call to the window.
  const auto cells = w.CellsOf(list, rows, {keyColumn});
  std::vector<SortKey> keys;
  keys.reserve(cells.size());
  for (const auto& row : cells) keys.push_back(MakeSortKey(row.empty() ? std::string() : row[0], kind));
  if (keys.empty()) return;
  const SortKey none;
  w.SortRows(list, [&](intptr_t a, intptr_t b) {
    // A row that was not there when the keys were read sorts with an empty key.
    const SortKey& keyA = a >= 0 && static_cast<size_t>(a) < keys.size() ? keys[static_cast<size_t>(a)] : none;
    const SortKey& keyB = b >= 0 && static_cast<size_t>(b) < keys.size() ? keys[static_cast<size_t>(b)] : none;
    return CompareSortKeys(keyA, keyB, kind, ascending);
  });
}

void SortAddressList(app::AppContext& context, int column) {
  // Refused while another operation runs; accepted here, on the window thread, so that a second
  // click before the worker has started is refused too.
  app::OperationHold operation = context.busy.TryBegin(context);
  if (!operation) return;
  app::RunInBackground(context, [&context, column, operation] { RunSort(context, column); });
}

}  // namespace corvane::address_ops
