// MChildIterator: the walk over a model object's direct children that
// MPersistentObject::NewChildIterator answers. A leaf answers the empty
// iterator below; composites answer GChildIterator (counted_ptr.h) or one
// of their own. The operations keep their fixed order: destroy, Current,
// ReplaceCurrent, Next, Reset.
//
// Ownership: whoever asked NewChildIterator owns the iterator and deletes
// it; the iterator does not hold the object it walks, which must outlive
// it. Not synchronised.
#pragma once

class MPersistentObject;

class MChildIterator {
 public:
  MChildIterator() = default;
  MChildIterator(const MChildIterator&) = delete;
  MChildIterator& operator=(const MChildIterator&) = delete;
  virtual ~MChildIterator() = default;

  // The child at the position.
  virtual MPersistentObject* Current() = 0;
  // Puts `object` in place of the child at the position.
  virtual void ReplaceCurrent(MPersistentObject* object) = 0;
  // Advances; false past the last child (the walk then starts over).
  virtual bool Next() = 0;
  // Back to before the first child.
  virtual void Reset() = 0;
};

// The iterator of an object without children: Next answers false at once.
class MEmptyChildIterator : public MChildIterator {
 public:
  MPersistentObject* Current() override { return nullptr; }
  void ReplaceCurrent(MPersistentObject*) override {}
  bool Next() override { return false; }
  void Reset() override {}
};
