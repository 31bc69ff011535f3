#pragma once
// The record of every shown line of dialogue; one per novel state.

#include "Entity.h"

namespace zel
{

class NBacklog : public NEntity
{
public:
    NBacklog();
    void Draw(int) override {}
    int getCreatedLine() const override { return 0; }
};

} // namespace zel
