#pragma once
// The pieces of the reader's figures that scripts/measure.sh prints: a process's CPU time and peak memory as Linux
// reports them under /proc, how far the engine's log says a run got, the dialogue text found in a picture of the
// window, and the median of a few runs.

#include "Picture.h"

#include <string>
#include <vector>

namespace bench
{

/// The user and system time of a process in clock ticks, from the text of /proc/PID/stat; -1 when the text is no
/// such line.
long long CpuTicksOfStat(const std::string& stat);

/// The peak resident memory (VmHWM) in KiB, from the text of /proc/PID/status; -1 when the text has none.
long long PeakKibOfStatus(const std::string& status);

/// The last script line the engine's log says it read up to ("read until line:N"); -1 when it names none. Tells how far
/// a run got that had to be stopped.
int LastLineRead(const std::string& log);

/// A rectangle of a window's picture.
struct Area
{
    int x = 0, y = 0, width = 0, height = 0;
};

/// The pixels of area that are the measured novel's dialogue yellow (nearly full red and green, little blue): the
/// background, the figures, the skin and the wait icon are drawn without it, so these pixels are letters.
int TextPixels(const hostcommon::Picture& picture, const Area& area);

/// The median of values (the mean of the middle two for an even count); 0 when there are none.
double Median(std::vector<double> values);

} // namespace bench
