#pragma once
// The view through which pictures inside the camera are drawn; one per novel state. Its current state's transform
// (origin, position, rotation, scale) is applied to every entity drawn through the camera.

#include "entities/Entity.h"
#include "entities/NSprite.h"

namespace zel
{

class NCamera : public NEntity
{
public:
    NCamera();
    void Update() override;
    void Draw(int) override {}
    /// The newest camera state; the identity state while none is recorded.
    sSprite* getCurrentSprite() override;
    /// Copies the newest state into a new one at the main line (camera commands and camera tweens).
    sSprite* pushCameraState(int line);

    LineValue<sSprite> m_SpriteStates;
};

} // namespace zel
