#include "address_ops/sort_addresses.h"

#include <limits>
#include <vector>

#include "app/activity_log.h"
#include "app/adapter_view.h"
#include "app/app_context.h"
#include "app/window_layouts.h"

namespace corvane::address_ops {

namespace mw = app::main_window;

namespace {

constexpr unsigned char kFullWidthLead = 0xA3;  // full-width digits A3 B0..A3 B9, "+" A3 AB, "-" A3 AD

bool At(std::string_view text, size_t i, unsigned char lead, unsigned char trail) {
  return i + 1 < text.size() && static_cast<unsigned char>(text[i]) == lead &&
         static_cast<unsigned char>(text[i + 1]) == trail;
}

// The worker of one sort.
void RunSort(app::AppContext& context, int column) {
  context.services.windows.ProcessPendingEvents();
  app::SetBusy(context, true);
  if (const auto plan = SortPlanFor(column)) SortListView(context, mw::kAddressList, plan->keyColumn, plan->kind);
  app::AppendLog(context, "排序完成.");
  app::SetBusy(context, false);
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

int64_t ReadSortNumber(std::string_view cell) {
  size_t i = 0;
  for (;;) {
    if (i < cell.size() && (cell[i] == ' ' || cell[i] == '\t' || cell[i] == '\r' || cell[i] == '\n')) {
      ++i;
    } else if (At(cell, i, 0xA1, 0xA1)) {
      i += 2;
    } else {
      break;
    }
  }
  bool negative = false;
  if (i < cell.size() && (cell[i] == '+' || cell[i] == '-')) {
    negative = cell[i] == '-';
    ++i;
  } else if (At(cell, i, kFullWidthLead, 0xAB) || At(cell, i, kFullWidthLead, 0xAD)) {
    negative = static_cast<unsigned char>(cell[i + 1]) == 0xAD;
    i += 2;
  }
  // Accumulated as a negative number, whose range is the larger one.
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  int64_t value = 0;
  bool saturated = false;
  for (;;) {
    int digit = -1;
    if (i < cell.size() && cell[i] >= '0' && cell[i] <= '9') {
      digit = cell[i] - '0';
      ++i;
    } else if (i + 1 < cell.size() && static_cast<unsigned char>(cell[i]) == kFullWidthLead &&
               static_cast<unsigned char>(cell[i + 1]) >= 0xB0 && static_cast<unsigned char>(cell[i + 1]) <= 0xB9) {
      digit = static_cast<unsigned char>(cell[i + 1]) - 0xB0;
      i += 2;
    } else {
      break;
    }
    if (saturated) continue;
    if (value < (kMin + digit) / 10) {
      saturated = true;
      value = kMin;
    } else {
      value = value * 10 - digit;
    }
  }
  if (negative) return value;
  return value == kMin ? std::numeric_limits<int64_t>::max() : -value;
}

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
  context.services.windows.ProcessPendingEvents();
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
  platform::Window& w = *context.window;
  if (!w.IsEnabled(mw::kRefreshButton)) return;
  // The busy state starts here, on the window thread, so that a second click before the worker
  // has started is refused too; the worker enters it again as it begins.
  app::SetBusy(context, true);
  // Without a worker nothing else would end the busy state.
  if (!context.services.kernel.StartThread([&context, column] { RunSort(context, column); }))
    app::SetBusy(context, false);
}

}  // namespace corvane::address_ops
