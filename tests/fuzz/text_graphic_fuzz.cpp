// Fuzz target of the text commands' restores. Byte 0 picks the medium (0 a
// file, then the binary, portable text and headered streams); the rest is
// a stored object graph, read through the model's extraction operations. A
// text graphic or download-face command read is executed on a recording
// device, which walks its font, codes and escapements; then it is made
// self-contained, copied, compared with its copy, re-encoded and saved
// again, whose stored size must match. The default error handler stays in
// force.
//
// Built as a libFuzzer program when the compiler is clang, and compiled into
// the text commands' test program, which replays the corpus.
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>

#include "fonts/font.h"
#include "fonts/text_escapements.h"
#include "lang/text/download_face.h"
#include "lang/text/load.h"
#include "lang/text/text_string.h"
#include "output/core/peripheral.h"
#include "tests/persist/media.h"
#include "tests/support/graph.h"
#include "tests/support/test_support.h"

namespace {

// Reads what a generator reads of the commands it is handed.
class RecordingDevice final : public GPeripheral {
 public:
  std::uint32_t sum = 0;

  std::uint16_t DrawTextString(GTextStringGraphic& graphic) override {
    if (GTextString* text = graphic.GetText()) {
      for (std::uint32_t i = 0; i < text->GetLength(); ++i)
        sum += text->GetCode(i);
    }
    if (GTextEscapements* escapements = graphic.GetEscapements()) {
      for (std::uint32_t i = 0; i < escapements->GetCount(); ++i)
        sum += escapements->GetPrimaryAt(i) + escapements->GetSecondaryAt(i);
    }
    if (GFont* font = graphic.GetFont()) sum += font->GetFaceName().Length();
    sum += graphic.ContainsUserDefinedCharacters();
    return 0;
  }
  std::uint16_t DownloadFace(GDownloadFace& command) override {
    sum += command.GetRequest() + (command.GetFont() ? 1 : 0);
    return 0;
  }
};

void Exercise(MPersistentObject& object) {
  if (!object.IsKindOf(kGTextStringId) && !object.IsKindOf(kGTextStringGraphicId) &&
      !object.IsKindOf(kGDownloadFaceId))
    return;
  if (auto* command = dynamic_cast<GCommand*>(&object)) {
    RecordingDevice device;
    command->Execute(device);
    command->MakeSelfContained();
  }
  if (auto* graphic = dynamic_cast<GTextStringGraphic*>(&object); graphic && graphic->GetText()) {
    GTextString wide(*graphic->GetText(), kWideCodeSet, nullptr);
    GTextString zeros(*graphic->GetText(), 5, nullptr);
    if (wide.GetLength() != zeros.GetLength()) std::abort();
  }
  std::unique_ptr<RWCollectable> copy(object.CreateCopy());
  if (copy && !object.IsEqualContent(static_cast<MPersistentObject*>(copy.get()))) std::abort();
  const std::string again = model_testing::Save(&object, model_testing::Medium::kFile);
  if (again.size() != object.GraphStoreSize()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  LangTextLoad();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  constexpr model_testing::Medium kMedia[] = {
      model_testing::Medium::kFile, model_testing::Medium::kBinary,
      model_testing::Medium::kPortable, model_testing::Medium::kHeadered};
  model_testing::Restored back = model_testing::Restore(
      std::string(reinterpret_cast<const char*>(data) + 1, size - 1), kMedia[data[0] % 4]);
  if (back.object && back.ok) Exercise(*back.object);
  FreeRestored(back.object);
  return 0;
}
