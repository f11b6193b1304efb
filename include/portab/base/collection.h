#pragma once
// Ordered collection: 1-based positions, optional string keys compared without regard
// to case. Errors: 5 missing key, 9 position outside, 457 duplicate key.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "portab/base/error.h"
#include "portab/base/text.h"

namespace base {

template <typename T>
class Collection {
  struct Node {
    T value;
    std::string key;  // as given; empty when the item has no key
  };
  using Nodes = std::vector<std::unique_ptr<Node>>;

 public:
  // Forward iterator over the items in position order (the values, not the keys).
  template <typename NodeIt, typename Value>
  class BasicIterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = T;
    using difference_type = std::ptrdiff_t;
    using pointer = Value*;
    using reference = Value&;
    BasicIterator() = default;
    explicit BasicIterator(NodeIt it) : it_(it) {}
    reference operator*() const { return (*it_)->value; }
    pointer operator->() const { return &(*it_)->value; }
    BasicIterator& operator++() { ++it_; return *this; }
    BasicIterator operator++(int) { auto old = *this; ++it_; return old; }
    bool operator==(const BasicIterator& other) const { return it_ == other.it_; }

   private:
    NodeIt it_{};
  };
  using iterator = BasicIterator<typename Nodes::iterator, T>;
  using const_iterator = BasicIterator<typename Nodes::const_iterator, const T>;

  // Appends an item. A duplicate key raises 457 and adds nothing; an empty key means none.
  T& Add(T item, std::string_view key = {}) {
    return Insert(std::move(item), key, Count() + 1);
  }

  // Inserts an item so that it takes `position` (1..Count()+1). A position outside raises 9,
  // a duplicate key 457; either way nothing is added.
  T& Insert(T item, std::string_view key, int32_t position) {
    if (position < 1 || position > Count() + 1) throw Error(err::kSubscriptOutOfRange, "Collection");
    std::string folded = FoldCase(key);
    if (!key.empty() && index_.count(folded) != 0) throw Error(err::kDuplicateKey, "Collection");
    auto node = std::make_unique<Node>(Node{std::move(item), std::string(key)});
    Node* raw = node.get();
    nodes_.insert(nodes_.begin() + (position - 1), std::move(node));
    if (!key.empty()) index_.emplace(std::move(folded), raw);
    return raw->value;
  }

  // The item at `position` (9 when outside 1..Count()) or with `key` (5 when no item has it).
  T& Item(int32_t position) { return NodeAt(position).value; }
  const T& Item(int32_t position) const { return NodeAt(position).value; }
  T& Item(std::string_view key) { return NodeByKey(key).value; }
  const T& Item(std::string_view key) const { return NodeByKey(key).value; }

  // The key an item was added under ("" when none); 9 when `position` is outside.
  const std::string& KeyAt(int32_t position) const { return NodeAt(position).key; }

  // Whether an item has that key (an empty key never matches).
  bool Exists(std::string_view key) const {
    return !key.empty() && index_.count(FoldCase(key)) != 0;
  }
  // Position (1-based) of the item with that key, 0 when there is none.
  int32_t PositionOf(std::string_view key) const {
    if (!Exists(key)) return 0;
    const Node* wanted = &NodeByKey(key);
    for (size_t i = 0; i < nodes_.size(); ++i) {
      if (nodes_[i].get() == wanted) return static_cast<int32_t>(i + 1);
    }
    return 0;
  }

  // Removes the item at `position` (9 when outside) or with `key` (5 when no item has it);
  // the items after it move up one position.
  void Remove(int32_t position) {
    Node& node = NodeAt(position);
    if (!node.key.empty()) index_.erase(FoldCase(node.key));
    nodes_.erase(nodes_.begin() + (position - 1));
  }
  void Remove(std::string_view key) { Remove(PositionOf(key) == 0 ? MissingKey() : PositionOf(key)); }

  // Removes every item.
  void Clear() {
    nodes_.clear();
    index_.clear();
  }
  // The number of items; Empty when there are none.
  int32_t Count() const { return static_cast<int32_t>(nodes_.size()); }
  bool Empty() const { return nodes_.empty(); }

  // Iteration over the items in position order.
  iterator begin() { return iterator(nodes_.begin()); }
  iterator end() { return iterator(nodes_.end()); }
  const_iterator begin() const { return const_iterator(nodes_.begin()); }
  const_iterator end() const { return const_iterator(nodes_.end()); }

 private:
  [[noreturn]] static int32_t MissingKey() { throw Error(err::kInvalidCallOrKey, "Collection"); }

  Node& NodeAt(int32_t position) const {
    if (position < 1 || position > Count()) throw Error(err::kSubscriptOutOfRange, "Collection");
    return *nodes_[static_cast<size_t>(position) - 1];
  }
  Node& NodeByKey(std::string_view key) const {
    const auto it = key.empty() ? index_.end() : index_.find(FoldCase(key));
    if (it == index_.end()) MissingKey();
    return *it->second;
  }

  Nodes nodes_;
  std::unordered_map<std::string, Node*> index_;
};

}  // namespace base
