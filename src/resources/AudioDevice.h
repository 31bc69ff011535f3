#pragma once
// Whether this machine can play sound at all. Without an audio device the audio library cannot make its sources,
// and a stream started anyway spins on its errors: music, sound effects and voices are then left out.

namespace zel
{

/// True when the audio library has a device to play through; decided once, with one warning when there is none.
bool AudioAvailable();

} // namespace zel
