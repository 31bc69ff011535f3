#pragma once
// The script commands. Each handler takes the tokens of one line (token 1 is the keyword) and never throws; the
// command table binds them to their keywords.

#include "Entity.h"

#include <limits>
#include <string>
#include <vector>

namespace zel
{
namespace CmdHandlers
{
using Tokens = std::vector<std::wstring>;

// Pictures (CmdHandlerMain).
void ExecuteBG(const Tokens& tokens);
void ExecuteCG(const Tokens& tokens);
void ExecuteClear(const Tokens& tokens);
void ExecuteRemove(const Tokens& tokens);
/// Creates the cg or background of that name, or gives the existing one a new look at the main line.
void HandleCG_InsRm(NType type, const std::wstring& name, const std::wstring& file, double x, double y, int layer,
                    const std::wstring& option);

// Display (CmdHandlerTween).
/// The old-layer argument of ExecuteLayer that means "the layer the entity has now" (-1 is a layer like any other).
constexpr int kCurrentLayer = std::numeric_limits<int>::min();
/// Moves NAME to LAYER. oldLayer is the layer list the entity sits in, or kCurrentLayer.
void ExecuteLayer(const Tokens& tokens, int oldLayer);
/// While editing, after the cursor moved back: puts NAME from the list of fromLayer into the list of toLayer, the
/// layer it reads at the cursor. Records nothing, as no line of the script moved it.
void RewindLayerList(const std::wstring& name, int fromLayer, int toLayer);

} // namespace CmdHandlers
} // namespace zel
