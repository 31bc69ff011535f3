#pragma once
// A picture fitted into another size, as thumbnails are made: scaled with its aspect kept, centred on opaque black.

#include "Picture.h"

namespace hostcommon
{

/// picture scaled to width x height (both above zero). The scale is the largest at which the whole picture fits;
/// what it leaves over on two sides is opaque black, split evenly (the odd pixel at the bottom or right). Each pixel
/// of the result is the average of the source pixels it covers, weighted by how much of each it covers, so that
/// thin lines and text shrink into grey rather than breaking up. An empty picture gives all black.
Picture FitPicture(const Picture& picture, int width, int height);

} // namespace hostcommon
