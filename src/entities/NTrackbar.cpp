#include "entities/NTrackbar.h"

#include "core/Config.h"
#include "core/Services.h"
#include "resources/Logger.h"
#include "script/Parser.h"

#include <algorithm>

namespace zel
{

NTrackbar::NTrackbar(std::wstring entityName, int entityLayer)
    : NEntity(NTYPE_TRACKBAR, std::move(entityName), entityLayer)
{
    m_TrackStates.set(sTrackbar(), false);
}

void NTrackbar::setTrack(int left, int right)
{
    m_left = left;
    m_right = right;
    m_placed = false;
}

bool NTrackbar::loadTexture(const std::wstring& fileName)
{
    sTrackbar* state = m_TrackStates.latest(false);
    return state != nullptr && state->loadTexture(fileName);
}

void NTrackbar::Update()
{
    if (lineContext::Editing())
        m_TrackStates.pruneAfter(lineContext::MainLine());
    SystemVariables* sysVars = Services::SysVars();
    const SliderSetting* setting = sysVars != nullptr ? Config::SliderBinding(m_varName, *sysVars) : nullptr;
    int value = 0;
    if (setting != nullptr)
    {
        if (!Config::ReadSetting(*setting, value))
        {
            NEntity::Update();
            return;
        }
        sysVars->*(setting->field) = value;
    }
    PlaceKnob(setting, value);
    NEntity::Update();
}

void NTrackbar::PlaceKnob(const SliderSetting* setting, int value)
{
    sTrackbar* state = m_TrackStates.latest(true);
    if (state == nullptr)
        return;
    float scale = setting != nullptr ? static_cast<float>(value) / static_cast<float>(setting->maximum) : 0.f;
    const bool changed = !m_placed || value != m_shownValue;
    m_placed = true;
    m_shownValue = value;
    if (scale < 0.f || scale > 1.f)
    {
        if (changed) // once per value, not every frame
            OutputDebugStringN(L"\nERROR: (NTrackbar:setTrackVarName) scaleVal:%f INVALID \n", scale);
        scale = std::clamp(scale, 0.f, 1.f);
    }
    const float x = static_cast<float>(m_left) + static_cast<float>(m_right - m_left) * scale;
    if (state->getPosition().x == x)
        return;
    state->setPosition(x, state->getPosition().y);
    ReportChange();
}

void NTrackbar::Drag(float x, float)
{
    sSprite* state = getCurrentSprite();
    if (state == nullptr || m_right <= m_left)
        return;
    // Past either end the knob stays at that end, so that a quick drag still reaches the end's value.
    const float halfKnob = static_cast<float>(state->getTextureRect().width) * 0.5f;
    const float knobX = std::clamp(x - halfKnob, static_cast<float>(m_left), static_cast<float>(m_right));
    const float scale = (knobX - static_cast<float>(m_left)) / static_cast<float>(m_right - m_left);
    SystemVariables* sysVars = Services::SysVars();
    const SliderSetting* setting = sysVars != nullptr ? Config::SliderBinding(m_varName, *sysVars) : nullptr;
    // The pointer's last position comes again every frame while the knob is held: only a new value is written.
    const int value = setting != nullptr ? static_cast<int>(static_cast<float>(setting->maximum) * scale) : 0;
    if (setting != nullptr && value != sysVars->*(setting->field))
    {
        if (!Config::WriteSetting(*setting, value))
            return;
        sysVars->*(setting->field) = value;
        if (NovelState* first = Services::FirstNovelState())
            first->sysVars.*(setting->field) = value;
    }
    if (knobX == state->getPosition().x)
        return;
    state->setPosition(knobX, state->getPosition().y);
    ReportChange();
}

void NTrackbar::Draw(int)
{
    if (const sSprite* state = getCurrentSprite())
        Services::DrawState(*state, false);
}

int NTrackbar::getCreatedLine() const
{
    const auto& states = m_TrackStates.entries();
    return states.empty() ? -1 : states.begin()->first;
}

sSprite* NTrackbar::getCurrentSprite()
{
    sTrackbar* state = m_TrackStates.latest(true);
    return state != nullptr && state->hasTexture() ? state : nullptr;
}

sSprite* NTrackbar::pushNewState(int line)
{
    if (lineContext::Editing())
        m_TrackStates.keepBefore(line);
    const sTrackbar* latest = m_TrackStates.latest(false);
    m_TrackStates.set(latest != nullptr ? sTrackbar(*latest) : sTrackbar(), true);
    return m_TrackStates.latest(false);
}

} // namespace zel
