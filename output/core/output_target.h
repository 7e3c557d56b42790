// GOutputTarget: the abstract base of a named output port that a generator
// writes its printer language to. The base fixes a small state machine and
// the order of the calls; a concrete port supplies the raw write and the
// readiness test (whether its destination could be reached at all, which a
// generator asks before it opens the port), and says what its count
// measures (the generators' output sinks read it to pace their polling).
//
//   closed (0) -Open-> open (1) -BeginJob or the first Write-> in job (2)
//   in job -EndJob-> open -Close-> closed
//   Finish from any state -> finished (3); there every operation answers 1
//   and only the destructor leads on.
//
// Every operation with a result answers a 16-bit code: 0 for success, 1
// for a call in the wrong state, or the code of an operation it called.
// The destructor ends a job in progress and closes an open target (the
// base's operations: a concrete port's part is gone by then, so one that
// must flush closes itself in its own destructor).
//
// Holders. A port that a generator opened is kept both by the generator
// and by the document command it was recorded on, so that the rest of the
// document reaches it; whichever lets go last deletes it. Such holders
// count themselves on the port through GOutputTargetRef; a port nobody
// counts (the job's own) belongs to whoever made it.
//
// Not persistable. Threads: one target is driven by one thread at a time;
// the holder count is atomic.
#pragma once

#include <atomic>
#include <cstdint>

#include "foundation/rw/cstring.h"
#include "foundation/rw/wstring.h"

class GOutputTarget {
 public:
  enum State : std::uint32_t { kClosed = 0, kOpen = 1, kInJob = 2, kFinished = 3 };

  // Count 0, closed.
  explicit GOutputTarget(const RWCString& name) : name_(name) {}
  GOutputTarget(const GOutputTarget&) = delete;
  GOutputTarget& operator=(const GOutputTarget&) = delete;
  // EndJob in a job, Close when open.
  virtual ~GOutputTarget();

  // Closed to open; 1 in any other state. `document_name` is the document
  // the port is opened for; the base does not use it.
  virtual std::uint16_t Open(const RWWString& document_name);
  // Open to in job; 0 and no change in a job; 1 otherwise.
  virtual std::uint16_t BeginJob();
  // True before Open and once finished. The generators poll it as their
  // output grows; a concrete port may give the call further effect.
  virtual bool IsNotReady();
  // Writes `length` bytes somewhere and sets `written` to how many went.
  virtual std::uint16_t WriteRaw(const std::uint8_t* data, std::uint32_t length,
                                 std::uint32_t& written) = 0;
  // Begins the job when open (answering BeginJob's code when not 0), then,
  // in a job, hands the text's bytes to WriteRaw and answers its code; 1 in
  // any other state.
  virtual std::uint16_t Write(const RWCString& text, std::uint32_t& written);
  // In job to open; 0 and no change when open; 1 otherwise.
  virtual std::uint16_t EndJob();
  // Ends a job in progress first; then, when open, closes and answers
  // EndJob's code (0 when not called); 1 otherwise.
  virtual std::uint16_t Close();
  // Ends a job in progress, closes an open target, and finishes in every
  // state; answers the code of the last call (0 when none). A port that
  // keeps what it took (a file) keeps it only when a Close at the
  // document's end came first: one still open here was cut short.
  virtual std::uint16_t Finish();
  // The job the port serves failed: Finish, and a port that keeps what it
  // took (a file) drops it, so that nothing cut short looks like output.
  virtual std::uint16_t Abort();
  // Whether the destination was reached, so that the port can take
  // output once opened; a generator's document start asks it first.
  virtual bool IsReady() = 0;
  // The system's reason for the port's first failure (why it is not
  // ready, or why a write or its close failed), a platform error code
  // (platform/host/types.h) kept past the job's end; 0 while none, and
  // for a port that keeps none.
  virtual std::uint32_t GetFailure() const { return 0; }

  // Open or in a job.
  bool IsOpen() const { return state_ == kOpen || state_ == kInJob; }
  State GetState() const { return state_; }
  std::uint32_t GetCount() const { return count_; }
  const RWCString& GetName() const { return name_; }

 protected:
  // For a concrete port's count of what it has taken.
  void SetCount(std::uint32_t count) { count_ = count; }

 private:
  friend class GOutputTargetRef;

  std::uint32_t count_ = 0;
  RWCString name_;
  State state_ = kClosed;
  std::atomic<std::uint32_t> holders_{0};  // GOutputTargetRef holders
};

// A reference to a port: a holder of it (counted on the port; the last
// holder to let go deletes it) or a mere borrower. Copies of a holder hold
// too.
class GOutputTargetRef {
 public:
  GOutputTargetRef() = default;
  // Holds `target` when `hold`, else borrows it; null is no port.
  GOutputTargetRef(GOutputTarget* target, bool hold);
  GOutputTargetRef(const GOutputTargetRef& other);
  GOutputTargetRef& operator=(const GOutputTargetRef& other);
  ~GOutputTargetRef();

  GOutputTarget* Get() const { return target_; }
  bool Holds() const { return holds_; }

 private:
  void Let();

  GOutputTarget* target_ = nullptr;
  bool holds_ = false;
};
