// quillhaven: plays a finished novel in the engine's own window, packs a data folder into an archive, takes
// screenshots of a novel at a script line, makes a new novel to start writing from, and checks a novel's scripts.
//
//   quillhaven play [NOVEL_DIR] [--script FILE] [--window-mode 0|1|2] [--size WxH]
//   quillhaven pack FOLDER [OUT]
//   quillhaven shot NOVEL_DIR SCRIPT LINE OUT.png [--size WxH] [--play MS]
//   quillhaven new DIR [--vocabulary en|ja]
//   quillhaven lint NOVEL_DIR [--json] [--script FILE]

#include "Launcher.h"

#include <clocale>
#include <cstring>

int main(int argc, char** argv)
{
    std::setlocale(LC_CTYPE, "C.UTF-8");
    const char* command = argc >= 2 ? argv[1] : "";
    if (std::strcmp(command, "play") == 0)
        return launcher::RunPlay(argc, argv);
    if (std::strcmp(command, "pack") == 0)
        return launcher::RunPack(argc, argv);
    if (std::strcmp(command, "shot") == 0)
        return launcher::RunShot(argc, argv);
    if (std::strcmp(command, "new") == 0)
        return launcher::RunNew(argc, argv);
    if (std::strcmp(command, "lint") == 0)
        return launcher::RunLint(argc, argv);
    return launcher::FailUsage("the first argument must be 'play', 'pack', 'shot', 'new' or 'lint'");
}
