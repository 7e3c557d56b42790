#include "foundation/rw/readscope.h"

#include "foundation/rw/file.h"
#include "foundation/rw/streamstate.h"

RWReadScope::~RWReadScope() {
  if (!scope_.Failed()) return;
  if (file_) file_->MarkError();
  if (stream_) stream_->SetState(stream_->State() | RWStreamState::kFail);
  if (runtime_) runtime_->setstate(std::ios_base::failbit);
}
