#include "platform/message_box.h"

#include <cstdio>
#include <mutex>
#include <utility>

namespace platform {
namespace {

std::mutex& SinkMutex() {
  static std::mutex mutex;
  return mutex;
}

MessageBoxSink& Sink() {
  static MessageBoxSink sink;
  return sink;
}

}  // namespace

int MessageBoxA(const void* owner, const char* text, const char* caption, std::uint32_t style) {
  MessageBoxSink sink;
  {
    std::lock_guard<std::mutex> lock(SinkMutex());
    sink = Sink();
  }
  if (sink) return sink(MessageBoxCall{owner, text ? text : "", caption ? caption : "", style});
  std::fprintf(stderr, "%s\n%s\n", caption ? caption : "", text ? text : "");
  std::fflush(stderr);
  return kIdOk;
}

MessageBoxSink SetMessageBoxSink(MessageBoxSink sink) {
  std::lock_guard<std::mutex> lock(SinkMutex());
  return std::exchange(Sink(), std::move(sink));
}

}  // namespace platform
