#include "ui/framework/value_list.h"

#include <utility>

GValueList::GValueList(GValueList&& other) noexcept
    : first_(std::exchange(other.first_, nullptr)),
      last_(std::exchange(other.last_, nullptr)),
      count_(std::exchange(other.count_, 0)) {}

GValueList& GValueList::operator=(GValueList&& other) noexcept {
  if (this != &other) {
    Clear();
    first_ = std::exchange(other.first_, nullptr);
    last_ = std::exchange(other.last_, nullptr);
    count_ = std::exchange(other.count_, 0);
  }
  return *this;
}

void GValueList::Append(std::uint32_t value) {
  Node* node = new Node{nullptr, value};
  if (last_) {
    last_->next = node;
  } else {
    first_ = node;
  }
  last_ = node;
  ++count_;
}

void GValueList::AppendUnique(std::uint32_t value) {
  if (!Contains(value)) Append(value);
}

bool GValueList::Contains(std::uint32_t value) const {
  for (const Node* node = first_; node; node = node->next)
    if (node->value == value) return true;
  return false;
}

void GValueList::Clear() {
  while (first_) {
    Node* next = first_->next;
    delete first_;
    first_ = next;
  }
  last_ = nullptr;
  count_ = 0;
}
