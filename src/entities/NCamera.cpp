#include "entities/NCamera.h"

namespace zel
{

NCamera::NCamera() : NEntity(NTYPE_CAMERA, L"", -1) {}

void NCamera::Update()
{
    if (lineContext::Editing())
        m_SpriteStates.pruneAfter(lineContext::MainLine());
    NEntity::Update();
}

sSprite* NCamera::getCurrentSprite()
{
    return &m_SpriteStates.get(true);
}

sSprite* NCamera::pushCameraState(int line)
{
    if (lineContext::Editing())
        m_SpriteStates.keepBefore(line);
    m_SpriteStates.set(sSprite(m_SpriteStates.get(false)), true);
    return m_SpriteStates.latest(false);
}

} // namespace zel
