#include "NovelState.h"

namespace zel
{

SystemVariables::SystemVariables()
    : dataPaths{{{L"Fonts/", L"Fonts.vndat"},
                 {L"Images/", L"Images.vndat"},
                 {L"Scripts/", L"Scripts.vndat"},
                 {L"BGM/", L"BGM.vndat"},
                 {L"SFX/", L"SFX.vndat"},
                 {L"Voices/", L"Voices.vndat"}}},
      entityTypeNames{
          {NTYPE_ALL, L"Types_all"},         {NTYPE_BG, L"Types_bg"},        {NTYPE_CG, L"Types_cg"},
          {NTYPE_TEXTBOX, L"Types_textbox"}, {NTYPE_BUTTON, L"button"},      {NTYPE_SYSBUTTON, L"Types_sysButton"},
          {NTYPE_BGM, L"Types_bgm"},         {NTYPE_SFX, L"Types_sfx"},      {NTYPE_VOICE, L"Types_voice"},
          {NTYPE_BACKLOG, L"Types_backlog"}, {NTYPE_CAMERA, L"Types_camera"}}
{
}

} // namespace zel
