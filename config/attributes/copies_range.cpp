#include "config/attributes/copies_range.h"

#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "persist/find_of_class.h"

GCopiesRange GCopiesRange::Of(MPersistentObject* settings) {
  return GCopiesRange(FindOfClass<GRangeAttribute>(settings, kCopiesRangeKey));
}

GCopiesRange::GCopiesRange(const GRangeAttribute* range) {
  if (!range) return;
  exists_ = true;
  minimum_ = range->GetMinimum();
  maximum_ = range->GetMaximum();
}
