#include "app/Resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void RegisterQuorvaleResources() {
  Q_INIT_RESOURCE(quorvale);
}

namespace quorvale {

void InitResources() {
  static const bool registered = (RegisterQuorvaleResources(), true);
  (void)registered;
}

}  // namespace quorvale
