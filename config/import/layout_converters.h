// Table converters of the page layout that do a step of their own beyond
// the common ones.
//
// GBookletPrintingChoiceConverter ("printing/BookletPrintingChoice",
// 362 -> 279): booklet printing forces one page per sheet. Once a word was
// read, matched or not, a booklet value other than 0 sets the N-up choice
// (266 in 362) to 1 when it holds another value, and the N-up choice that
// the destination already recorded too.
//
// GTextAsBlackConverter ("printing/TextAsBlack"): the common steps on the
// first attribute 585 found from the model root, wherever the model keeps
// it; both ways need the document settings (362) to exist.
//
// Ownership and threads: as GSettingConverter.
#pragma once

#include <cstdint>

#include "config/import/table_converter.h"

class GBookletPrintingChoiceConverter final : public GTableConverter {
 public:
  static constexpr std::uint32_t kNUpChoiceKey = 266;
  explicit GBookletPrintingChoiceConverter(GQCFLibrary* store);
  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
};

class GTextAsBlackConverter final : public GTableConverter {
 public:
  explicit GTextAsBlackConverter(GQCFLibrary* store);
  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
  std::uint32_t Extract(GAttributeComposite* root) override;
};
