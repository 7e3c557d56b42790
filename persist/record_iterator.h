// MRecordIterator: the walk over an on-disk composite's top-level records
// that its NewChildIterator answers, in the order they were stored. Beyond
// the child iterator's operations (Current answers null: the objects live
// in the file), it reads, takes and replaces the current record's object,
// and steps back. After the last record Next answers false and the walk
// starts over; Previous answers false before the first record.
//
// A record taken while the iterator stands on it (through the iterator or
// through the store) moves the iterator back to the record before, so that
// Next reaches the one that followed; a replaced record keeps its place.
//
// An interface of the persistent model, below the output model's core:
// the device chain replays a command list on disk through it without
// linking the record store (store/), which implements it.
//
// Ownership: whoever asked NewChildIterator deletes the iterator; it keeps
// the store's shared file alive meanwhile. Not for use from two threads at
// once (the store's operations themselves are under its process-wide lock).
#pragma once

#include "persist/child_iterator.h"
#include "persist/counted_ptr.h"

class MPersistentObject;

class MRecordIterator : public MChildIterator {
 public:
  // The current record's object read from the file, left stored; empty
  // when no record is current or on failure.
  virtual GCountedPtr CurrentObject() = 0;
  // Takes the current record's object out of the store; empty as above.
  virtual GCountedPtr TakeCurrent() = 0;
  // Replaces the current record's object by `object` (which stays the
  // caller's); true when a record was current and replaced.
  virtual bool ReplaceCurrentObject(MPersistentObject* object) = 0;
  // Steps back; false before the first record.
  virtual bool Previous() = 0;
  // Whether the walk could not read every record (the store's file failed,
  // or was gone): a replay then reports the failure. False here.
  virtual bool Failed() { return false; }
};
