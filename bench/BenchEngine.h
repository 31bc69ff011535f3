#pragma once
// One engine per benchmark family: the parser benchmarks run an editor without a window, the frame and picture
// benchmarks an editor with a real window in a novel folder of generated images. Switching tears the other down.

#include <string>

namespace bench
{

/// An editor session without a window: one novel state, the command table and the main parser on scriptName.
void EnsureHeadlessEditor(const wchar_t* scriptName, const std::wstring& text);

/// An editor session with a window of width x height, whose current folder holds Images/ with the generated
/// 64x64 images img0.png .. img3.png, and Fonts/ with latin.ttf (DejaVu Sans) and japanese.ttf (VL Gothic).
void EnsureWindowedEditor(unsigned width, unsigned height);

/// The windowed editor (800x600) shows the last line of a script of count cg lines: 64x64 pictures on layers 0..5,
/// spread over the window.
void ShowPictures(int count);
/// count buttons made by button lines (each with one picture), spread like ShowPictures' pictures.
void ShowButtons(int count);

} // namespace bench
