#include "ReaderFigures.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace bench
{

long long CpuTicksOfStat(const std::string& stat)
{
    // The program name in parentheses may hold blanks and parentheses itself: the fields count from the last ')'.
    const std::size_t nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos)
        return -1;
    std::istringstream fields(stat.substr(nameEnd + 1));
    std::string field;
    // After the name: state, then 10 more fields before utime and stime (fields 14 and 15 of proc(5)).
    for (int skipped = 0; skipped < 11; ++skipped)
        if (!(fields >> field))
            return -1;
    long long user = 0;
    long long system = 0;
    if (!(fields >> user >> system))
        return -1;
    return user + system;
}

long long PeakKibOfStatus(const std::string& status)
{
    const std::string key = "\nVmHWM:";
    const std::size_t at = ("\n" + status).find(key);
    if (at == std::string::npos)
        return -1;
    std::istringstream value(status.substr(at + key.size() - 1));
    long long kib = -1;
    std::string unit;
    if (!(value >> kib >> unit) || unit != "kB")
        return -1;
    return kib;
}

int LastLineRead(const std::string& log)
{
    const std::string key = "read until line:";
    const std::size_t at = log.rfind(key);
    return at == std::string::npos ? -1 : std::atoi(log.c_str() + at + key.size());
}

int TextPixels(const hostcommon::Picture& picture, const Area& area)
{
    const int right = std::min(area.x + area.width, picture.width);
    const int bottom = std::min(area.y + area.height, picture.height);
    int count = 0;
    for (int y = std::max(area.y, 0); y < bottom; ++y)
        for (int x = std::max(area.x, 0); x < right; ++x)
        {
            const std::uint8_t* pixel = &picture.rgba[(static_cast<std::size_t>(y) * picture.width + x) * 4];
            if (pixel[0] >= 200 && pixel[1] >= 200 && pixel[2] <= 80)
                ++count;
        }
    return count;
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace bench
