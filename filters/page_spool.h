// GPageSpool: the page spool that the page-holding filters (face up, last
// page, copy page, manual duplex, reverse order, booklet) use to hold a
// document's pages on disk and hand them on again, in another order, at
// document end. One component; each filter configures it with a policy
// (GSpoolPolicy) and calls it from its handlers; the filter keeps its own
// settings and decides the replay order and padding.
//
// What it holds, from an accepted document start on (BeginDocument):
//   - the replay composite: the document start, then at document end the
//     pages in the order asked and the document end (or pass break);
//   - the page list (PageListNode, in arrival order): each page a
//     spooled page store (GSpooledPage, a GCommandCompositeOnDisk) or a
//     page that arrived already built (a GCommandComposite, made
//     self-contained before it is kept);
//   - the open page store, between a page start and its page end;
//   - the page counter (pages named; the list's count is what a replay
//     counts), the job context (not owned), the kept page attributes (a
//     deep copy of a page start's set, for blank pages), the active flag;
//   - the spool directory (spool_directory.h), made at the first page.
//
// A spooled page: the page store "<name><page extension>" with the records
// page start, a GNullCommand (key 0), the page's graphics, null and
// pass-through commands in arrival order, and the page end, kept in the
// spool directory's one spool file (so no file is made per page,
// spool_directory.h); its attribute set is a GGraphicBundle of two string
// attributes, kFontFilePathKey the font file's path (empty when none was made)
// and kJobCookieKey the job's cookie in lower-case hex (not XORed). The font
// file "<name><font extension>" holds the job's font database as saved at page
// end; it is made only when the database holds something to save (a job
// database without objects while no font reader is pooled holds nothing,
// and a save of it would change nothing). A page read back loads it first
// (the command list on disk does, under SpoolLock and then the database's
// lock). The name is the page counter XOR the job's cookie, unsigned
// lower-case hex without leading zeros (PageName).
//
// Policies:
//   naming    kCountThenName: the counter moves at page start, then names
//             the page (face up); kNameThenCount: the page is named by the
//             counter as it stands and the counter moves once the page is
//             filed at page end (last page);
//   locking   kPerHandler: SpoolLock is held inside each page handler;
//             kPerPage: from page start to page end, by an owner the spool
//             keeps and lets go on every path that abandons the page;
//   walk      how Submit takes apart a composite that arrives while idle:
//             kDocumentCommands runs its document start through Transform
//             (result dropped) and its document end, job abort or pass
//             break through Transform, whose result Submit answers;
//             kDocumentStartOnly runs only the document start, and Submit
//             answers the composite itself; kExpandWhileIdle is
//             kDocumentCommands, but a composite child met while no
//             document is held is taken apart through the filter
//             (ExpandComposite) and its result put in the child's place
//             (the submitted composite's command word becomes 1), and a
//             child without a page start and no page being gathered is
//             left alone instead of disabling the filter;
//             a filter may watch each page child first (GSpoolWalkHook);
//   blank     the set a blank page that pads an odd count is built on:
//             kKeptThenLastPageStart the kept attributes, else a deep copy
//             of the last held page's page start's set; kNone: no padding.
// The replay order is the caller's at each EndDocument (GReplayOrder).
//
// Failures: every store and font-file step runs inside an error scope and
// is tested; a page store in error (a full disk, a failed close, a file
// that cannot be made) clears the spool (Clear: everything dropped, the
// filter disabled) and answers kSpoolFailure; a font database that cannot
// be saved answers kSpoolFailure without clearing. A spooled page whose
// file is damaged or gone when it is replayed gives kSpoolFailure on the
// device that reads it (output/core/peripheral.h); the job driver's job
// abort then clears the spool.
//
// A spooled page met in the walk whose file failed (gone or damaged) ends
// the walk with kSpoolFailure (after Abandon), instead of being dropped or
// passed on for a stray piece.
//
// A filter that stands aside (disabled) holds nothing: the walk that
// disables it and a refused document start clear the spool, so that the
// job's end, whichever way it came, leaves no spool file (a disabled
// filter is not reached by the job abort).
//
// Readings: while idle (no accepted document), commands pass unchanged
// and the page handlers hold nothing; a graphic, null or page end with no
// page open passes unchanged; a pass break ends the held pages' stretch as
// a document end does, but the document stays held.
//
// Ownership: the spool holds its pages, composites and kept set through
// counted pointers (its file's lock); dropping a page store forgets its
// image in the spool file. Threads: one job's thread; SpoolLock serialises
// the files.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "config/keys/settings_keys.h"
#include "foundation/rw/dlist.h"
#include "output/core/command.h"
#include "persist/counted_ptr.h"
#include "store/command_composite_on_disk.h"
#include "store/spool_lock.h"

class GCommandComposite;
class GDocumentStart;
class GPageStart;
class GPageEnd;
class GPeripheral;
class GRenderDriverData;
class GSpoolDirectory;

enum class GSpoolNaming { kCountThenName, kNameThenCount };
enum class GSpoolLocking { kPerHandler, kPerPage };
enum class GSpoolWalk { kDocumentCommands, kDocumentStartOnly, kExpandWhileIdle };
enum class GBlankSource { kNone, kKeptThenLastPageStart };
enum class GReplayOrder {
  kForward,       // 1, 2, ..., n
  kReverse,       // n, n-1, ..., 1
  kReversePairs,  // (n-1, n), (n-3, n-2), ..., (1, 2); an odd first page alone last
};

struct GSpoolPolicy {
  const char* page_extension;    // ".fpg"
  const char* font_extension;    // ".fft"
  const char* directory_prefix;  // the spool directory's name starts with it
  GSpoolNaming naming;
  GSpoolLocking locking;
  GSpoolWalk walk;
  GBlankSource blank;
};

// The keys of a spooled page's attribute set.
inline constexpr std::uint32_t kSpoolFontFileKey = kFontFilePathKey;  // 407
inline constexpr std::uint32_t kSpoolCookieKey = kJobCookieKey;       // 408

// What a filter adds to Submit's walk: each composite child (in memory or
// on disk) that holds a page start or a page end, before it is filed or
// gathered; `gathering` whether a page is being gathered.
class GSpoolWalkHook {
 public:
  virtual void OnWalkPage(MPersistentObject& child, bool has_start, bool has_end,
                          bool gathering) = 0;

 protected:
  ~GSpoolWalkHook() = default;
};

// One held page.
struct PageListNode : RWDoubleLink {
  GCountedPtr page;  // a GCommandCompositeOnDisk or a GCommandComposite
};

// A page store of the spool: the command list on disk, forgetting its image
// when it goes, holding the spool directory meanwhile. Class id and stored
// form are the command list's (606).
// Runs `change` on the set of `page`'s page start: a spooled page's is read
// back, and written again when `change` answers true (a failed store shows
// when the page is replayed); in a composite, the first page start, page
// or composite among its children is taken. Nothing without a page start.
void ChangePageStart(MPersistentObject& page,
                     const std::function<bool(GAttributeComposite*)>& change);
// `page`'s page start given the medium's (kMediumKey) media type `type`, when
// it has a medium, and the paper source (kPaperSourceKey) `tray`.
void SetPagePaper(MPersistentObject& page, const RWCString& type, std::uint16_t tray);

class GSpooledPage final : public GCommandCompositeOnDisk {
 public:
  GSpooledPage(const RWWString& path, std::shared_ptr<GSpoolDirectory> directory)
      : GCommandCompositeOnDisk(path, 1u, 0u), directory_(std::move(directory)) {}
  GSpooledPage(const GSpooledPage& other) = default;

  RWCollectable* CreateCopy() const override;

 private:
  std::shared_ptr<GSpoolDirectory> directory_;
};

class GPageSpool {
 public:
  explicit GPageSpool(const GSpoolPolicy& policy) : policy_(policy) {}
  // Drops everything held (Clear without a filter).
  ~GPageSpool();
  GPageSpool(const GPageSpool&) = delete;
  GPageSpool& operator=(const GPageSpool&) = delete;

  // --- The filter's two roads (the filter's Submit and Transform call
  // them with itself).

  // Null, or any command while `filter` is disabled: unchanged. While idle,
  // a GCommandComposite is taken apart as the walk policy says (pages
  // filed without touching the spool's files). Otherwise a no-op or error
  // command comes back unchanged, a composite goes to ExpandComposite and
  // anything else to filter.Transform; the attribute hooks are not run.
  GCountedPtr Submit(GPeripheral& filter, const GCountedPtr& command);
  // A graphic or null command (and a pass-through inside a page) goes into
  // the open page store (a failure: Clear, then a new GErrorCommand with
  // kSpoolFailure); any other command is executed on `filter`, a non-zero
  // code giving a new GErrorCommand. Then, for an enabled filter: a
  // document end or pass break is replaced by a finished replay when there
  // is one (without one, a pass break passes on); while active, every
  // other command by a new GNoCommand.
  GCountedPtr Transform(GPeripheral& filter, const GCountedPtr& command);
  // The walk of `composite` (a GCommandComposite) as the walk policy says,
  // whether or not a document is held (Submit takes it while idle).
  GCountedPtr Walk(GPeripheral& filter, const GCountedPtr& composite);

  // --- The handlers' steps.

  // An accepted document start: active; `job` kept; counter 0; pages,
  // replay, open store and kept attributes dropped; the spool directory's
  // parent asked of the services for the job; a new replay composite with
  // `start`. REQUIRES: `job` not null.
  void BeginDocument(GDocumentStart& start, GRenderDriverData* job);
  // While active: names the page, makes its store, puts the bundle,
  // `start` and a GNullCommand; kSpoolFailure (after Clear) when any step
  // fails, else 0. Idle: 0, nothing held.
  std::uint16_t BeginPage(GPeripheral& filter, GPageStart& start);
  // With a page open: puts `end`, closes the store (its image written),
  // files the page, saves the job's font database to the page's font file,
  // made then (none, and the bundle's path emptied, when the database holds
  // nothing). kSpoolFailure after Clear when the store fails, kSpoolFailure
  // alone when the font file or the save fails, else 0. Without an open
  // page: 0.
  std::uint16_t EndPage(GPeripheral& filter, GPageEnd& end);
  // The end of the held pages' stretch: an open page is dropped; with
  // `pad_to_even` and an odd count a blank page (the blank policy) is
  // filed; the pages go into the replay composite in `order`, then `end`;
  // the page list is emptied and the replay is finished (Transform hands it
  // on in `end`'s place). With `ends_document` the kept attributes and the
  // job context go and the spool is idle; otherwise a new, empty replay
  // composite takes what follows. REQUIRES: HasReplay().
  void EndDocument(GCommand& end, GReplayOrder order, bool pad_to_even, bool ends_document);
  // The same with the caller's `pages` (drawn from Pages(), or built) in
  // place of the held pages and their order. REQUIRES: HasReplay().
  void EndDocument(GCommand& end, std::span<const GCountedPtr> pages, bool ends_document);
  // The finished replay, handed over (empty when none).
  GCountedPtr TakeReplay() { return std::move(finished_); }
  // The replay composite being built (the filter may add to it), or null.
  GCommandComposite* Replay() const;
  // Hands the replay being built on as it stands (Transform gives it in
  // the pass break's or the document end's place); the pages stay held and
  // no replay is built until RestartReplay. Nothing without a replay.
  void FinishReplay();
  // A new, empty replay composite in place of any being built.
  void RestartReplay();
  // Pages, replay composites, the open store and the kept attributes are
  // dropped, SpoolLock is let go, and `filter` is disabled. The counter and
  // the active flag stay.
  void Clear(GPeripheral& filter);
  // Clear, and idle: how a filter stands aside (a refused document start,
  // a walk that meets a piece of no page). A disabled filter sees no later
  // command, a job abort included, so it keeps nothing that would outlive
  // the job.
  void Abandon(GPeripheral& filter) {
    Clear(filter);
    active_ = false;
  }
  // Active flag 0 (a job abort, after Clear).
  void SetIdle() { active_ = false; }

  // --- Pages and the kept attributes.

  // Files `page` at the tail of the page list (made self-contained first);
  // the counter moves.
  void FilePage(const GCountedPtr& page);
  // Files a blank page (MakeBlankPage) on the kept attributes, else on the
  // last held page's page start's set; nothing when there is neither.
  void FileBlankPage();
  // The filter that watches the walk (null: none); not owned.
  void SetWalkHook(GSpoolWalkHook* hook) { walk_hook_ = hook; }
  // Keeps a deep copy of `command`'s set (a page start's, as a rule)
  // unless one is kept.
  void KeepPageAttributes(GCommand& command);
  GAttributeComposite* KeptAttributes() const;
  // The held pages, in arrival order.
  std::vector<GCountedPtr> Pages();
  // The page start of the last held page (read back for a spooled one),
  // or empty.
  GCountedPtr LastPageStart();
  // A new GCommandComposite of a GPageStart on a deep copy of `source`
  // (none when null) and a GPageEnd, both key 0.
  static GCountedPtr MakeBlankPage(GAttributeComposite* source);

  // The page name of `counter` for `cookie`.
  static std::string PageName(std::uint32_t counter, std::uint32_t cookie);

  bool IsActive() const { return active_; }
  bool IsPageOpen() const { return static_cast<bool>(open_store_); }
  bool HasReplay() const { return static_cast<bool>(replay_); }
  std::uint32_t Counter() const { return counter_; }
  std::uint32_t PageCount() const { return static_cast<std::uint32_t>(pages_.Count()); }
  GRenderDriverData* Job() const { return job_; }
  // The spool directory's host path, "" before the first page.
  std::string DirectoryPath() const;

 private:
  bool EnsureDirectory();
  void AddNode(const GCountedPtr& page);
  // Puts `command` into the open store; false when the store is in error.
  bool Append(const GCountedPtr& command);
  std::uint16_t Fail(GPeripheral& filter);
  void AppendPages(GReplayOrder order);
  void EmptyPages();
  // The replay's end: `end` appended, the pages dropped, the replay
  // finished.
  void Finish(GCommand& end, bool ends_document);
  // Pages, replays, the open store, the kept set, the lock, the directory.
  void DropHeld();
  // `child` of `composite` taken apart through `filter`, its result put in
  // its place (kExpandWhileIdle).
  void ExpandInPlace(GPeripheral& filter, const GCountedPtr& composite, const GCountedPtr& child);

  const GSpoolPolicy policy_;
  RWTypedDoubleLinkList<PageListNode> pages_;
  GCountedPtr replay_;      // the GCommandComposite being built, or empty
  GCountedPtr finished_;    // a finished replay awaiting Transform, or empty
  GCountedPtr open_store_;  // the GSpooledPage of the open page, or empty
  GCountedPtr kept_;        // a deep copy of a page start's set, or empty
  std::uint32_t counter_ = 0;
  GRenderDriverData* job_ = nullptr;  // not owned
  bool active_ = false;
  RWWString parent_;  // the services' temporary directory for the job
  std::shared_ptr<GSpoolDirectory> directory_;
  std::string font_name_;      // the open page's font file's name
  GSpoolLockOwner page_lock_;  // held from page start to page end (kPerPage)
  GSpoolWalkHook* walk_hook_ = nullptr;
};
