#include "ui/pages/inert_rule.h"

void GInertRule::OnChanges(const GValueList&, int) {}
