#include "db/SqliteSurface.h"

namespace varo {

void PrepareSqliteAdapters() {}

}  // namespace varo
