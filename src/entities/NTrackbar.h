#pragma once
// A slider: a knob that runs along a track and shows one of the reader's settings (a volume, a text speed, the auto
// wait). The knob follows Config.xml, and dragging it writes the setting there.

#include "entities/NSprite.h"

#include <string>

namespace zel
{

struct SliderSetting;

/// One line's look of the knob.
class sTrackbar : public sSprite
{
};

class NTrackbar : public NEntity
{
public:
    NTrackbar(std::wstring entityName, int entityLayer);

    /// The track runs from left to right (knob x positions).
    void setTrack(int left, int right);
    /// Names the setting the knob shows ("master_vol", "textSpeed", "autoSpeed", "autoWait" or the word for music,
    /// sound or voice).
    void setTrackVarName(const std::wstring& name) { m_varName = name; }
    const std::wstring& trackVarName() const { return m_varName; }
    /// Loads the knob's image into the newest state.
    bool loadTexture(const std::wstring& fileName);

    void Update() override;
    void Draw(int mainLine) override;
    int getCreatedLine() const override;
    sSprite* getCurrentSprite() override;
    sSprite* pushNewState(int line) override;
    bool isSlider() const override { return true; }
    /// The pointer at x while the knob is dragged: the setting becomes the knob's share of the track.
    void Drag(float x, float y) override;

    LineValue<sTrackbar> m_TrackStates;

private:
    /// Puts the knob where value of setting stands on the track.
    void PlaceKnob(const SliderSetting* setting, int value);

    int m_left = 0;
    int m_right = 0;
    std::wstring m_varName;
    /// The value the knob was last placed for, so that an unchanged setting is not weighed again every frame.
    int m_shownValue = -1;
    bool m_placed = false;
};

} // namespace zel
