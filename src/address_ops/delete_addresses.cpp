#include "address_ops/delete_addresses.h"

#include <string>
#include <vector>

#include "address_ops/address_store.h"
#include "app/activity_log.h"
#include "app/adapter_model.h"
#include "app/adapter_view.h"
#include "app/app_context.h"
#include "app/program_end.h"
#include "app/window_layouts.h"
#include "common/text.h"

namespace corvane::address_ops {

namespace mw = app::main_window;

uint32_t ParseContextCell(const std::string& cell) {
  size_t i = 0;
  while (i < cell.size() && (cell[i] == ' ' || cell[i] == '\t')) ++i;
  uint64_t value = 0;
  for (; i < cell.size() && cell[i] >= '0' && cell[i] <= '9'; ++i) {
    value = value * 10 + static_cast<uint64_t>(cell[i] - '0');
    if (value > UINT32_MAX) return UINT32_MAX;
  }
  return static_cast<uint32_t>(value);
}

namespace {

// The selected rows and, of each, the kind, context and address cells, read in one call. The list
// is not refilled before the deletion's refresh, so the cells stay those of the rows worked on.
struct Selection {
  std::vector<int> rows;
  std::vector<std::vector<std::string>> cells;
};
enum { kKind, kContext, kAddress };

Selection ReadSelection(app::AppContext& context) {
  platform::Window& w = *context.window;
  Selection selection;
  selection.rows = w.SelectedRows(mw::kAddressList);
  if (!selection.rows.empty()) selection.cells = w.CellsOf(mw::kAddressList, selection.rows, {6, 3, 1});
  return selection;
}

void DeleteRows(app::AppContext& context, const app::ChangeTarget& target, const Selection& selection) {
  app::AppendLog(context, "已经开始启用选中项目,请稍后...");
  const int32_t selected = static_cast<int32_t>(selection.rows.size());
  if (selected == 0) {
    app::AppendLog(context, "没有选中任何要启用的项目！");
    return;
  }

  int32_t qualifying = 0;
  int32_t deleted = 0;
  int32_t failed = 0;
  const std::string ipKind = app::KindText(app::AddressKind::Ip);
  for (const std::vector<std::string>& row : selection.cells) {
    // A close stops the loop before its next address; what was unbound is still stored below.
    if (app::ChangeMustStop(context)) break;
    if (row[kKind] == ipKind) {
      ++qualifying;
      uint32_t result = context.services.ipHelper.DeleteIPAddress(ParseContextCell(row[kContext]));
      const std::string& address = row[kAddress];
      if (result == 0) {
        ++deleted;
        app::AppendLog(context, "成功删除IP-地址 " + address);
      } else {
        ++failed;
        app::AppendLog(context, "删除IP-地址 " + address + " 失败,返回代码" + text::Decimal(result) + ".");
      }
    }
  }

  // The operation holds the busy state until the store has ended.
  app::RefreshAdapters(context);
  app::AppendLog(context, "删除选中项目完成,共计选中" + text::Decimal(selected) + "条,符合启用条件" +
                              text::Decimal(qualifying) + "条,其中成功" + text::Decimal(deleted) + " 失败" +
                              text::Decimal(failed) + ".");
  StoreAddressList(context, target);
}

}  // namespace

void DeleteSelectedAddresses(app::AppContext& context) {
  // The operation and the selection are taken here, on the window thread: a second command, or a
  // click in the list, before the worker has started changes nothing.
  app::OperationHold operation = context.busy.TryBegin(context);
  if (!operation) return;
  if (!app::BeginChange(context)) return;
  const app::ChangeTarget target = app::SelectedTarget(context);
  Selection selection = ReadSelection(context);
  app::RunInBackground(context, [&context, target, selection = std::move(selection), operation] {
    DeleteRows(context, target, selection);
    app::EndChange(context);
  });
}

void DeleteSelectedAddresses(app::AppContext& context, const app::ChangeTarget& target) {
  DeleteRows(context, target, ReadSelection(context));
}

}  // namespace corvane::address_ops
