#pragma once
// The view through which pictures inside the camera are drawn; one per novel state.

#include "Entity.h"

namespace zel
{

class NCamera : public NEntity
{
public:
    NCamera();
    void Draw(int) override {}
};

} // namespace zel
