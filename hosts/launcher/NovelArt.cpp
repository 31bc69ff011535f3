// The pictures of a new novel, drawn with shapes given by their signed distance (negative inside): each pixel takes
// a shape's colour by how much of it the shape covers, so that edges come out smooth.

#include "NovelArt.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>

namespace launcher
{
namespace
{
struct Colour
{
    float r, g, b, a; // 0 to 255
};

Colour Mix(const Colour& from, const Colour& to, float t)
{
    return {from.r + (to.r - from.r) * t, from.g + (to.g - from.g) * t, from.b + (to.b - from.b) * t,
            from.a + (to.a - from.a) * t};
}

/// Distance from x,y to a shape; negative inside it.
using Shape = std::function<float(float x, float y)>;

Shape RoundedBox(float left, float top, float width, float height, float radius)
{
    return [=](float x, float y) {
        const float dx = std::abs(x - (left + width / 2)) - (width / 2 - radius);
        const float dy = std::abs(y - (top + height / 2)) - (height / 2 - radius);
        const float outside = std::hypot(std::max(dx, 0.0f), std::max(dy, 0.0f));
        return outside + std::min(std::max(dx, dy), 0.0f) - radius;
    };
}

Shape Circle(float centreX, float centreY, float radius)
{
    return [=](float x, float y) {
        return std::hypot(x - centreX, y - centreY) - radius;
    };
}

/// A triangle pointing down, its top edge from left to right at top, its tip at bottom in the middle.
Shape DownTriangle(float left, float top, float right, float bottom)
{
    const float midX = (left + right) / 2;
    return [=](float x, float y) {
        // The largest of the distances to the three edges' lines, each measured outwards.
        const float edgeX = midX - left, edgeY = bottom - top, length = std::hypot(edgeX, edgeY);
        const float toLeft = ((x - left) * -edgeY + (y - top) * edgeX) / length;
        const float toRight = ((x - right) * edgeY + (y - top) * edgeX) / length;
        return std::max({top - y, toLeft, toRight});
    };
}

class Canvas
{
public:
    Canvas(int width, int height)
    {
        m_picture.width = width;
        m_picture.height = height;
        m_picture.rgba.assign(static_cast<std::size_t>(width) * height * 4, 0);
    }

    /// Every row in a colour from top to bottom: from above, to below, fading between the rows top and bottom.
    void Gradient(int top, int bottom, const Colour& from, const Colour& to)
    {
        for (int y = std::max(top, 0); y < std::min(bottom, m_picture.height); ++y)
        {
            const Colour colour = Mix(from, to, static_cast<float>(y - top) / std::max(bottom - top - 1, 1));
            for (int x = 0; x < m_picture.width; ++x)
                Blend(x, y, colour, 1.0f);
        }
    }

    void Fill(const Shape& shape, const Colour& colour)
    {
        for (int y = 0; y < m_picture.height; ++y)
            for (int x = 0; x < m_picture.width; ++x)
            {
                const float coverage = std::clamp(0.5f - shape(x + 0.5f, y + 0.5f), 0.0f, 1.0f);
                if (coverage > 0)
                    Blend(x, y, colour, coverage);
            }
    }

    /// A framed panel: the frame's colour, and the fill inset by border pixels.
    void Panel(float width, float height, float radius, float border, const Colour& frame, const Colour& fill)
    {
        Fill(RoundedBox(0, 0, width, height, radius), frame);
        Fill(RoundedBox(border, border, width - 2 * border, height - 2 * border, radius - border), fill);
    }

    hostcommon::Picture Take() { return std::move(m_picture); }

private:
    /// Lays colour, covering the given share of the pixel, over what the pixel shows ("over" compositing).
    void Blend(int x, int y, const Colour& colour, float coverage)
    {
        std::uint8_t* pixel = &m_picture.rgba[(static_cast<std::size_t>(y) * m_picture.width + x) * 4];
        const float alpha = colour.a / 255 * coverage;
        const float below = pixel[3] / 255.0f * (1 - alpha);
        const float total = alpha + below;
        if (total <= 0)
            return;
        const float channels[] = {colour.r, colour.g, colour.b};
        for (int c = 0; c < 3; ++c)
            pixel[c] = static_cast<std::uint8_t>(std::lround((channels[c] * alpha + pixel[c] * below) / total));
        pixel[3] = static_cast<std::uint8_t>(std::lround(total * 255));
    }

    hostcommon::Picture m_picture;
};

/// A meadow at dusk: a sky from deep blue to a warm glow, a setting sun, two hills and the grass in front.
hostcommon::Picture Background()
{
    Canvas canvas(1280, 720);
    canvas.Gradient(0, 600, {38, 48, 98, 255}, {246, 170, 124, 255});
    canvas.Fill(Circle(960, 420, 80), {255, 222, 150, 255});
    canvas.Fill(Circle(250, 900, 520), {58, 92, 88, 255});
    canvas.Fill(Circle(1100, 980, 600), {46, 78, 76, 255});
    canvas.Gradient(600, 720, {52, 96, 64, 255}, {30, 62, 44, 255});
    return canvas.Take();
}

/// A friendly figure on a clear ground: hair, a face with two eyes, a neck and a coat.
hostcommon::Picture Character()
{
    Canvas canvas(300, 520);
    canvas.Fill(RoundedBox(40, 230, 220, 290, 70), {70, 104, 170, 255});
    canvas.Fill(RoundedBox(128, 180, 44, 70, 16), {240, 204, 178, 255});
    canvas.Fill(Circle(150, 118, 92), {96, 60, 44, 255});
    canvas.Fill(Circle(150, 132, 78), {248, 214, 188, 255});
    canvas.Fill(RoundedBox(72, 40, 156, 58, 28), {96, 60, 44, 255});
    canvas.Fill(Circle(122, 138, 8), {48, 40, 48, 255});
    canvas.Fill(Circle(178, 138, 8), {48, 40, 48, 255});
    canvas.Fill(RoundedBox(132, 172, 36, 8, 4), {200, 110, 110, 255});
    return canvas.Take();
}

hostcommon::Picture Button(const Colour& fill)
{
    Canvas canvas(280, 60);
    canvas.Panel(280, 60, 18, 3, {250, 244, 228, 230}, fill);
    return canvas.Take();
}

hostcommon::Picture Panel(int width, int height)
{
    Canvas canvas(width, height);
    canvas.Panel(static_cast<float>(width), static_cast<float>(height), 22, 3, {250, 244, 228, 170}, {18, 22, 44, 215});
    return canvas.Take();
}

hostcommon::Picture WaitIcon()
{
    Canvas canvas(28, 28);
    canvas.Fill(DownTriangle(4, 7, 24, 22), {250, 244, 228, 255});
    return canvas.Take();
}
} // namespace

std::vector<NovelPicture> DrawNovelPictures()
{
    std::vector<NovelPicture> pictures;
    pictures.push_back({"meadow.png", Background()});
    pictures.push_back({"friend.png", Character()});
    pictures.push_back({"button.png", Button({52, 64, 112, 235})});
    pictures.push_back({"button_over.png", Button({84, 100, 168, 245})});
    pictures.push_back({"button_down.png", Button({30, 36, 70, 245})});
    pictures.push_back({"skin.png", Panel(1200, 190)});
    pictures.push_back({"msgbox.png", Panel(720, 260)});
    pictures.push_back({"waiticon.png", WaitIcon()});
    return pictures;
}
} // namespace launcher
