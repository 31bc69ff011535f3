#include "NBacklog.h"

// Placeholder bodies so the library links while the backlog itself is being written; replaced wholesale.
namespace zel
{
NBacklog::NBacklog() : NEntity(NTYPE_BACKLOG, L"", -1) {}
void NBacklog::attach(const std::shared_ptr<NTextbox>& box) { m_pNTextbox.set(box, false); }
std::shared_ptr<NTextbox> NBacklog::textbox() { return m_pNTextbox.get(true); }
void NBacklog::setDisplayed(bool) {}
void NBacklog::pushNewLine(const std::wstring&, int, bool) {}
void NBacklog::calcDisplayLines() {}
void NBacklog::scroll(const std::string&) {}
void NBacklog::scrollBacklogToNextLine(const std::string&) {}
void NBacklog::reset() {}
void NBacklog::Update() { NEntity::Update(); }
void NBacklog::Draw(int) {}
bool NBacklog::AttachOnDemand(const wchar_t*) { return false; }
} // namespace zel
