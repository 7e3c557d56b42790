#include "config/attributes/copies_range.h"

#include <typeinfo>

#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"

GCopiesRange GCopiesRange::Of(MPersistentObject* settings) {
  MPersistentObject* found = settings ? settings->FindByKey(kCopiesRangeKey) : nullptr;
  // GRangeAttribute is final: one type test decides.
  return GCopiesRange(found && typeid(*found) == typeid(GRangeAttribute)
                          ? static_cast<const GRangeAttribute*>(found)
                          : nullptr);
}

GCopiesRange::GCopiesRange(const GRangeAttribute* range) {
  if (!range) return;
  exists_ = true;
  minimum_ = range->GetMinimum();
  maximum_ = range->GetMaximum();
}
