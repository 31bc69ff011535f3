// quillhaven new: makes a novel folder that plays at once and shows, in a dozen commented lines, how a novel is
// written: Config.xml with every reader's setting, Commands.xml with a word for every command, option and kind of
// thing (English, or Japanese with --vocabulary ja), the pictures its scripts name, a font with its licence, the
// first script and the message box's script.
//
// Every file goes in through a replacement written beside it, so none is ever found half-written. A folder that
// already holds something is refused, so nothing of an author's is ever written over; when a file cannot be written,
// what was made so far is taken away again.

#include "CommandWords.h"
#include "FileReplacement.h"
#include "Launcher.h"
#include "NovelArt.h"
#include "PngFile.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace launcher
{
namespace
{
namespace fs = std::filesystem;

constexpr int kRefused = 1;

using hostcommon::Word;

/// The questions of the engine's message box, in English and in Japanese.
const struct
{
    const char* name;
    const char* english;
    const char* japanese;
} kMessages[] = {
    {"Msg_endGame", "Quit the game?", "ゲームを終了しますか？"},
    {"Msg_loadConfirm", "Load this save?", "このセーブを読み込みますか？"},
    {"Msg_saveDelete", "Delete this save?", "このセーブを削除しますか？"},
    {"Msg_saveOverwrite", "Overwrite this save?", "このセーブに上書きしますか？"},
    {"Msg_userDefined", "Are you sure?", "よろしいですか？"},
};

const char* const kConfig = R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- The reader's settings. MsgboxScript names the script in Scripts/ that shows the message box; sysWaitInputIcon is
     the picture in Images/ that blinks while a line waits for a click. Volumes run from 0 to 100. sysTextSpeed is
     milliseconds per letter while reading by hand (0: each text at once), sysAutoSpeed the same while the novel reads
     itself, and sysAutoWait the milliseconds that reading by itself waits before it goes on. Sliders (trackbar)
     write the settings they show back into this file. -->
<Harborstage>
	<Settings MsgboxScript="msgbox.txt" />
	<GameSettings sysWaitInputIcon="waiticon.png" sysMasterVolume="100" sysBgmVolume="80" sysSfxVolume="80" sysVoiceVolume="100" sysTextSpeed="30" sysAutoSpeed="30" sysAutoWait="1500" />
</Harborstage>
)";

const char* const kEnglishMain =
    R"(// Scripts/main.txt: the player starts reading here. A line that starts with // is a comment.
// A background over the whole window, and a character in front of it on layer 2 (the pictures are in Images/).
bg meadow.png
cg friend friend.png 860 150 2
// The text box: its place, layer, size and font (in Fonts/); the skin is drawn behind it.
textbox msg 70 545 10 1140 150 DejaVuSans.ttf 28 noCamera
useTextbox msg
textboxSkin skin.png 40 522
// The backlog keeps every line read: turn the wheel up to open it, press B to close it.
textbox history 90 70 20 1100 420 DejaVuSans.ttf 24 noCamera
backlogConfig history
keyTrigger wheel.up fadein backlog
keyTrigger b fadeout backlog
// Each line of dialogue waits for a click (or Space) before the script reads on.
textAutoWait on
"Hello! This novel was made by quillhaven new. Click to read on.
"Shall we have tea, or go for a walk? Click one of the buttons.\c
~// A choice: each button sets the variable, the script waits for a click on one, and if goes to its bookmark.
var choice = 0
button ^tea button.png button_over.png button_down.png 330 290 8 noCamera var choice = 1
btnText ^tea DejaVuSans.ttf 26 "Tea, please
button ^walk button.png button_over.png button_down.png 670 290 8 noCamera var choice = 2
btnText ^walk DejaVuSans.ttf 26 "A walk
wait buttonSelect
fadeout ^tea, ^walk 0
if choice == 1 here tea else here walk
bookmark tea
"Tea it is: the kettle is on.
~jump end
bookmark walk
"A walk it is: the meadow is waiting.
~bookmark end
"That is all for now. Open Scripts/main.txt and make the story your own.
~endGame
)";

const char* const kJapaneseMain =
    R"(// Scripts/main.txt：プレイヤーはここから読み始めます。// で始まる行はコメントです。
// 画面いっぱいの背景と、その前のレイヤー2に立つ人物（絵は Images/ にあります）。
背景 meadow.png
立ち絵 友達 friend.png 860 150 2
// テキストボックス：位置、レイヤー、大きさ、フォント（Fonts/ にあります）。枠はその後ろに描かれます。
テキストボックス 文 70 545 10 1140 150 VL-Gothic-Regular.ttf 28 カメラなし
テキストボックス使用 文
テキストボックス枠 skin.png 40 522
// 履歴は読んだ台詞を残します。ホイールを上に回すと開き、B キーで閉じます。
テキストボックス 履歴箱 90 70 20 1100 420 VL-Gothic-Regular.ttf 24 カメラなし
履歴設定 履歴箱
キー設定 wheel.up フェードイン 履歴
キー設定 b フェードアウト 履歴
// 台詞は一行ごとにクリック（またはスペース）を待ってから先へ進みます。
自動待機 on
"こんにちは！この小説は quillhaven new で作られました。クリックで進みます。
"お茶にしましょうか、それとも散歩に行きましょうか。ボタンを一つ選んでください。\c
~// 選択肢：ボタンが変数を設定し、スクリプトはクリックを待ち、条件でそのしおりへ進みます。
変数 選択 = 0
ボタン ^お茶 button.png button_over.png button_down.png 330 290 8 カメラなし 変数 選択 = 1
ボタン文字 ^お茶 VL-Gothic-Regular.ttf 26 "お茶にする
ボタン ^散歩 button.png button_over.png button_down.png 670 290 8 カメラなし 変数 選択 = 2
ボタン文字 ^散歩 VL-Gothic-Regular.ttf 26 "散歩に行く
待つ ボタン選択
フェードアウト ^お茶, ^散歩 0
条件 選択 == 1 here お茶 else here 散歩
しおり お茶
"お茶にしましょう。お湯を沸かしますね。
~ジャンプ 終わり
しおり 散歩
"散歩に行きましょう。野原が待っています。
~しおり 終わり
"今日はここまで。Scripts/main.txt を開いて、あなたの物語にしてください。
~終了
)";

const char* const kEnglishMsgbox =
    R"(// The message box, named by MsgboxScript in Config.xml. The engine puts its question into {{msg_str}}; the yes
// and no buttons (msgvar) answer it.
cg ^msgboxPanel msgbox.png 280 170 90 noCamera
text ^msgboxText 320 200 91 DejaVuSans.ttf 28 noCamera {{msg_str}}
button ^msgYes button.png button_over.png button_down.png 320 330 92 noCamera msgvar yes
btnText ^msgYes DejaVuSans.ttf 26 "Yes
button ^msgNo button.png button_over.png button_down.png 680 330 92 noCamera msgvar no
btnText ^msgNo DejaVuSans.ttf 26 "No
wait msgboxSelect
fadeout ^msgYes, ^msgNo, ^msgboxPanel 0
text ^msgboxText 0 0 91 DejaVuSans.ttf 28 noCamera ''
)";

const char* const kJapaneseMsgbox =
    R"(// メッセージボックス（Config.xml の MsgboxScript）。エンジンが質問を {{msg_str}} に入れ、
// 「はい」と「いいえ」のボタン（msgvar）が答えます。
立ち絵 ^msgboxPanel msgbox.png 280 170 90 カメラなし
文字表示 ^msgboxText 320 200 91 VL-Gothic-Regular.ttf 28 カメラなし {{msg_str}}
ボタン ^msgYes button.png button_over.png button_down.png 320 330 92 カメラなし msgvar yes
ボタン文字 ^msgYes VL-Gothic-Regular.ttf 26 "はい
ボタン ^msgNo button.png button_over.png button_down.png 680 330 92 カメラなし msgvar no
ボタン文字 ^msgNo VL-Gothic-Regular.ttf 26 "いいえ
待つ メッセージ選択
フェードアウト ^msgYes, ^msgNo, ^msgboxPanel 0
文字表示 ^msgboxText 0 0 91 VL-Gothic-Regular.ttf 28 カメラなし ''
)";

/// What differs between the vocabularies: the words, the scripts and the font (with the package whose licence
/// goes beside it).
struct Language
{
    bool japanese;
    const char* mainScript;
    const char* msgboxScript;
    const char* font;
    const char* fontFolder;
    const char* fontPackage;
};

const Language kEnglish{
    false, kEnglishMain, kEnglishMsgbox, "DejaVuSans.ttf", "/usr/share/fonts/truetype/dejavu", "fonts-dejavu-core"};
const Language kJapanese{true,
                         kJapaneseMain,
                         kJapaneseMsgbox,
                         "VL-Gothic-Regular.ttf",
                         "/usr/share/fonts/truetype/vlgothic",
                         "fonts-vlgothic"};

std::string Licence(const Language& language)
{
    return std::string("/usr/share/doc/") + language.fontPackage + "/copyright";
}

std::string CommandsXml(const Language& language)
{
    const auto word = [&language](const Word& entry) {
        return std::string(language.japanese ? entry.japanese : entry.name);
    };
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<!-- The words of this novel's scripts. A command's \"name\" is the word a script types for it "
                      "(up to its\n     first blank); \"jap\" gives the word for a kind of thing or an option, and "
                      "the text of a question. -->\n<ScriptStrings>\n\t<DisplayStrings>\n";
    for (const auto& message : kMessages)
        xml += std::string("\t\t<Msg name=\"") + message.name + "\" jap=\"" +
               (language.japanese ? message.japanese : message.english) + "\" />\n";
    xml += "\t</DisplayStrings>\n\t<Commands>\n";
    for (const Word& command : hostcommon::CommandWords())
        xml += std::string("\t\t<Command cmd=\"") + command.name + "\" name=\"" + word(command) + "\" />\n";
    xml += "\t</Commands>\n\t<Keywords>\n\t\t<Types>\n";
    for (const Word& type : hostcommon::TypeWords())
        xml += std::string("\t\t\t<Type name=\"") + type.name + "\" jap=\"" + word(type) + "\" />\n";
    xml += "\t\t</Types>\n\t\t<CmdOptions>\n";
    for (const Word& option : hostcommon::OptionWords())
        xml += std::string("\t\t\t<Option name=\"") + option.name + "\" jap=\"" + word(option) + "\" />\n";
    return xml + "\t\t</CmdOptions>\n\t</Keywords>\n</ScriptStrings>\n";
}

/// Writes target in one step; false with error naming it when that fails.
bool WriteText(const fs::path& target, const std::string& text, std::string& error)
{
    std::string why;
    if (zel::ReplaceFile(
            target.string(),
            [&text](const std::string& path) {
                std::ofstream file(path, std::ios::binary);
                return bool(file.write(text.data(), static_cast<std::streamsize>(text.size())).flush());
            },
            why))
        return true;
    return error = "cannot write '" + target.string() + "': " + why, false;
}

bool CopyFile(const fs::path& source, const fs::path& target, std::string& error)
{
    std::ifstream file(source, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (!file.good() && !file.eof())
        return error = "cannot read '" + source.string() + "'", false;
    return WriteText(target, bytes, error);
}

bool WriteNovel(const fs::path& dir, const Language& language, std::string& error)
{
    for (const char* folder : {"Scripts", "Images", "Fonts"})
    {
        std::error_code ec;
        if (!fs::create_directories(dir / folder, ec) && ec)
            return error = "cannot make '" + (dir / folder).string() + "': " + ec.message(), false;
    }
    if (!WriteText(dir / "Config.xml", kConfig, error) ||
        !WriteText(dir / "Commands.xml", CommandsXml(language), error) ||
        !WriteText(dir / "Scripts/main.txt", language.mainScript, error) ||
        !WriteText(dir / "Scripts/msgbox.txt", language.msgboxScript, error) ||
        !CopyFile(fs::path(language.fontFolder) / language.font, dir / "Fonts" / language.font, error) ||
        !CopyFile(Licence(language), dir / "Fonts" / (std::string(language.fontPackage) + "-copyright.txt"), error))
        return false;
    for (const NovelPicture& picture : DrawNovelPictures())
        if (!hostcommon::SavePng((dir / "Images" / picture.name).string(), picture.picture, error))
            return false;
    return true;
}

/// Takes away what a failed run made: the folder was empty or absent before, so all it holds is ours.
void Undo(const fs::path& dir, bool existed)
{
    std::error_code ec;
    if (!existed)
    {
        fs::remove_all(dir, ec);
        return;
    }
    for (const auto& entry : fs::directory_iterator(dir, ec))
        fs::remove_all(entry.path(), ec);
}
} // namespace

int RunNew(int argc, char** argv)
{
    std::string dirName;
    const Language* language = &kEnglish;
    for (int i = 2; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (arg == "--vocabulary" && i + 1 < argc)
        {
            const std::string name = argv[++i];
            if (name != "en" && name != "ja")
                return FailUsage("new: --vocabulary takes en or ja, not '" + name + "'");
            language = name == "ja" ? &kJapanese : &kEnglish;
        }
        else if (arg.rfind("--", 0) == 0)
            return FailUsage("new: unknown or incomplete option '" + arg + "'");
        else if (dirName.empty() && !arg.empty())
            dirName = arg;
        else
            return FailUsage("new: takes one folder, not also '" + arg + "'");
    }
    if (dirName.empty())
        return FailUsage("new: name the folder to make the novel in");

    const fs::path dir(dirName);
    std::error_code ec;
    const bool existed = fs::exists(dir, ec);
    if (existed && !fs::is_directory(dir, ec))
        return Fail("new: '" + dirName + "' exists and is not a folder"), kRefused;
    if (existed && !fs::is_empty(dir, ec))
        return Fail("new: '" + dirName + "' is not empty; name a new folder or an empty one"), kRefused;
    for (const std::string& needed : {std::string(language->fontFolder) + "/" + language->font, Licence(*language)})
        if (!fs::is_regular_file(needed, ec))
            return Fail("new: '" + needed + "' is missing: the novel's font and its licence come from the " +
                        language->fontPackage + " package"),
                   kRefused;

    std::string error;
    if (!WriteNovel(dir, *language, error))
    {
        Undo(dir, existed);
        return Fail("new: " + error), kRefused;
    }
    std::printf("quillhaven: made a new novel in '%s'; play it with: quillhaven play %s\n", dirName.c_str(),
                dirName.c_str());
    return 0;
}
} // namespace launcher
