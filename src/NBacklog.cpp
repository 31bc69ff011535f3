#include "NBacklog.h"

namespace zel
{
NBacklog::NBacklog() : NEntity(NTYPE_BACKLOG, L"", -1) {}
} // namespace zel
