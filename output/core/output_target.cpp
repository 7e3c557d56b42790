#include "output/core/output_target.h"

namespace {

constexpr std::uint16_t kWrongState = 1;

}  // namespace

GOutputTarget::~GOutputTarget() {
  // Qualified: only the base's own operations are left to call here.
  if (state_ == kInJob) {
    GOutputTarget::EndJob();
  } else if (state_ == kOpen) {
    GOutputTarget::Close();
  }
}

std::uint16_t GOutputTarget::Open(const RWWString&) {
  if (state_ != kClosed) return kWrongState;
  state_ = kOpen;
  return 0;
}

std::uint16_t GOutputTarget::BeginJob() {
  if (state_ == kInJob) return 0;
  if (state_ != kOpen) return kWrongState;
  state_ = kInJob;
  return 0;
}

bool GOutputTarget::IsNotReady() {
  return state_ < kOpen || state_ >= kFinished;
}

std::uint16_t GOutputTarget::Write(const RWCString& text, std::uint32_t& written) {
  if (state_ == kOpen) {
    std::uint16_t begun = BeginJob();
    if (begun != 0) return begun;
  }
  if (state_ != kInJob) return kWrongState;
  return WriteRaw(reinterpret_cast<const std::uint8_t*>(text.Data()), text.Length(), written);
}

std::uint16_t GOutputTarget::EndJob() {
  if (state_ == kOpen) return 0;
  if (state_ != kInJob) return kWrongState;
  state_ = kOpen;
  return 0;
}

std::uint16_t GOutputTarget::Close() {
  std::uint16_t result = 0;
  if (state_ == kInJob) result = EndJob();
  if (state_ != kOpen) return kWrongState;
  state_ = kClosed;
  return result;
}

std::uint16_t GOutputTarget::Finish() {
  std::uint16_t result = 0;
  if (state_ == kInJob) result = EndJob();
  if (state_ == kOpen) result = Close();
  state_ = kFinished;
  return result;
}

std::uint16_t GOutputTarget::Abort() {
  return Finish();
}

GOutputTargetRef::GOutputTargetRef(GOutputTarget* target, bool hold)
    : target_(target), holds_(target && hold) {
  if (holds_) target_->holders_.fetch_add(1, std::memory_order_relaxed);
}

GOutputTargetRef::GOutputTargetRef(const GOutputTargetRef& other)
    : GOutputTargetRef(other.target_, other.holds_) {}

GOutputTargetRef& GOutputTargetRef::operator=(const GOutputTargetRef& other) {
  // Take the new hold first: the two may name the same port.
  GOutputTargetRef taken(other);
  Let();
  target_ = taken.target_;
  holds_ = taken.holds_;
  taken.holds_ = false;
  return *this;
}

GOutputTargetRef::~GOutputTargetRef() {
  Let();
}

void GOutputTargetRef::Let() {
  if (holds_ && target_->holders_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete target_;
  target_ = nullptr;
  holds_ = false;
}
