#include "NCamera.h"

namespace zel
{
NCamera::NCamera() : NEntity(NTYPE_CAMERA, L"", -1) {}
} // namespace zel
