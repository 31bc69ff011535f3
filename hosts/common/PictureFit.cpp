#include "PictureFit.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace hostcommon
{
namespace
{
/// One source pixel's share in a pixel of the result.
struct Share
{
    int source;
    double weight;
};

/// For each of count result pixels along one axis, the source pixels it covers out of sourceCount, with how much of
/// each it covers (the amounts add up to sourceCount / count).
std::vector<std::vector<Share>> Shares(int sourceCount, int count)
{
    std::vector<std::vector<Share>> shares(static_cast<std::size_t>(count));
    const double step = static_cast<double>(sourceCount) / count;
    for (int i = 0; i < count; ++i)
    {
        const double from = i * step;
        const double to = std::min<double>(sourceCount, (i + 1) * step);
        for (int source = static_cast<int>(from); source < sourceCount && source < to; ++source)
        {
            const double weight = std::min<double>(to, source + 1) - std::max<double>(from, source);
            if (weight > 1e-9)
                shares[i].push_back({source, weight});
        }
    }
    return shares;
}
} // namespace

Picture FitPicture(const Picture& picture, int width, int height)
{
    Picture fitted{width, height, {}};
    fitted.rgba.assign(static_cast<std::size_t>(width) * height * 4, 0);
    for (std::size_t at = 3; at < fitted.rgba.size(); at += 4)
        fitted.rgba[at] = 255;
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.rgba.size() < static_cast<std::size_t>(picture.width) * picture.height * 4)
        return fitted;

    // The scaled size: the whole of the side that limits the scale, the other rounded to the nearest pixel.
    const double scale = std::min(static_cast<double>(width) / picture.width,
                                  static_cast<double>(height) / picture.height);
    const int innerWidth = std::clamp(static_cast<int>(std::lround(picture.width * scale)), 1, width);
    const int innerHeight = std::clamp(static_cast<int>(std::lround(picture.height * scale)), 1, height);
    const int left = (width - innerWidth) / 2;
    const int top = (height - innerHeight) / 2;

    const auto columns = Shares(picture.width, innerWidth);
    const auto rows = Shares(picture.height, innerHeight);
    for (int y = 0; y < innerHeight; ++y)
        for (int x = 0; x < innerWidth; ++x)
        {
            double sum[4] = {0, 0, 0, 0};
            double area = 0;
            for (const Share& row : rows[y])
                for (const Share& column : columns[x])
                {
                    const double weight = row.weight * column.weight;
                    const std::size_t from = (static_cast<std::size_t>(row.source) * picture.width + column.source) * 4;
                    for (int channel = 0; channel < 4; ++channel)
                        sum[channel] += weight * picture.rgba[from + channel];
                    area += weight;
                }
            const std::size_t to = (static_cast<std::size_t>(top + y) * width + left + x) * 4;
            for (int channel = 0; channel < 4; ++channel)
                fitted.rgba[to + channel] =
                    static_cast<std::uint8_t>(std::clamp(std::lround(sum[channel] / area), 0L, 255L));
        }
    return fitted;
}

} // namespace hostcommon
