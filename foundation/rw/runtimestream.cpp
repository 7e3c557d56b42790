#include "foundation/rw/runtimestream.h"

RWRuntimeOutputStream::RWRuntimeOutputStream(std::ostream& os) : os_(&os) {}

RWRuntimeOutputStream::RWRuntimeOutputStream(std::streambuf* buffer)
    : owned_(std::make_unique<std::ostream>(buffer)), os_(owned_.get()) {}

RWRuntimeOutputStream::~RWRuntimeOutputStream() = default;

std::uint32_t RWRuntimeOutputStream::State() const {
  return FromIostate(os_->rdstate());
}

void RWRuntimeOutputStream::SetState(std::uint32_t state) {
  os_->clear(ToIostate(state));
}

RWVirtualOutputStream& RWRuntimeOutputStream::Flush() {
  std::streambuf* buffer = os_->rdbuf();
  if (!buffer || buffer->pubsync() == -1) os_->setstate(std::ios_base::badbit);
  return *this;
}

RWRuntimeInputStream::RWRuntimeInputStream(std::istream& is) : is_(&is) {}

RWRuntimeInputStream::RWRuntimeInputStream(std::streambuf* buffer)
    : owned_(std::make_unique<std::istream>(buffer)), is_(owned_.get()) {}

RWRuntimeInputStream::~RWRuntimeInputStream() = default;

std::uint32_t RWRuntimeInputStream::State() const {
  return FromIostate(is_->rdstate());
}

void RWRuntimeInputStream::SetState(std::uint32_t state) {
  is_->clear(ToIostate(state));
}
