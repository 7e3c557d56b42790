// GValueList: a singly linked list of 32-bit values (attribute ids in
// practice), appended at its end. The change dispatch hands the ids changed
// in a pass to the listeners as one; they only ask whether it holds an id.
//
// Ownership: the list owns its nodes; moving hands them over. Threads: one
// thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>

class GValueList {
 public:
  struct Node {
    Node* next;
    std::uint32_t value;
  };

  GValueList() = default;
  GValueList(const GValueList&) = delete;
  GValueList& operator=(const GValueList&) = delete;
  GValueList(GValueList&& other) noexcept;
  GValueList& operator=(GValueList&& other) noexcept;
  ~GValueList() { Clear(); }

  // Links a new node after the last one.
  void Append(std::uint32_t value);
  // Appends `value` unless the list holds it.
  void AppendUnique(std::uint32_t value);
  bool Contains(std::uint32_t value) const;
  bool IsEmpty() const { return first_ == nullptr; }
  std::size_t Count() const { return count_; }
  void Clear();

  // The first node (null when empty); walk with `next`.
  const Node* First() const { return first_; }

 private:
  Node* first_ = nullptr;
  Node* last_ = nullptr;
  std::size_t count_ = 0;
};
