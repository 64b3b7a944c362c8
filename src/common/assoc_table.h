// An associative table that keeps its entries in the order their keys were first put.
//
// Putting a key that is present replaces its value in place. Readers walk the table with a
// range-for; a walk visits every entry exactly once. Walking never changes the table, so a table
// published read-only may be walked from several threads at once.
#pragma once

#include <cstddef>
#include <unordered_map>
#include <utility>
#include <vector>

namespace corvane {

template <typename Key, typename Value>
class AssocTable {
 public:
  using Entry = std::pair<Key, Value>;

  void Put(const Key& key, Value value) {
    auto it = index_.find(key);
    if (it != index_.end()) {
      entries_[it->second].second = std::move(value);
      return;
    }
    index_.emplace(key, entries_.size());
    entries_.emplace_back(key, std::move(value));
  }

  const Value* Get(const Key& key) const {
    auto it = index_.find(key);
    return it == index_.end() ? nullptr : &entries_[it->second].second;
  }
  bool Contains(const Key& key) const { return index_.count(key) != 0; }

  size_t Size() const { return entries_.size(); }
  bool Empty() const { return entries_.empty(); }
  void Clear() {
    entries_.clear();
    index_.clear();
  }

  typename std::vector<Entry>::const_iterator begin() const { return entries_.begin(); }
  typename std::vector<Entry>::const_iterator end() const { return entries_.end(); }

 private:
  std::vector<Entry> entries_;
  std::unordered_map<Key, size_t> index_;
};

}  // namespace corvane
