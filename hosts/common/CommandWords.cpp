#include "CommandWords.h"

#include <iterator>

namespace hostcommon
{
namespace
{
// Every command of the engine, in the order of its command table.
const Word kCommands[] = {
    {"wait", "待つ"},
    {"bookmark", "しおり"},
    {"jump", "ジャンプ"},
    {"script", "スクリプト"},
    {"keyTrigger", "キー設定"},
    {"remove", "削除"},
    {"clear", "全消去"},
    {"bg", "背景"},
    {"cg", "立ち絵"},
    {"button", "ボタン"},
    {"sysButton", "システムボタン"},
    {"btnText", "ボタン文字"},
    {"btnBasicRes", "ボタン画像"},
    {"onBtnTouch", "ボタン接触"},
    {"btnAliveRegion", "ボタン有効範囲"},
    {"textbox", "テキストボックス"},
    {"useTextbox", "テキストボックス使用"},
    {"textFont", "文字フォント"},
    {"textSize", "文字サイズ"},
    {"textColour", "文字色"},
    {"textSpeed", "文字速度"},
    {"textBold", "太字"},
    {"textShadow", "文字影"},
    {"textboxSkin", "テキストボックス枠"},
    {"textWaitIcon", "待機アイコン"},
    {"textWordWrap", "折り返し"},
    {"textDir", "文字方向"},
    {"textAutoWait", "自動待機"},
    {"textProgress", "読み進め"},
    {"text", "文字表示"},
    {"backlogConfig", "履歴設定"},
    {"backlogReset", "履歴消去"},
    {"move", "移動"},
    {"fadein", "フェードイン"},
    {"fadeout", "フェードアウト"},
    {"rotate", "回転"},
    {"zoom", "拡大"},
    {"alpha", "透明度"},
    {"cameraReset", "カメラ初期化"},
    {"layer", "レイヤー"},
    {"image", "画像"},
    {"rgb", "色"},
    {"alphaFadein", "マスクイン"},
    {"alphaFadeout", "マスクアウト"},
    {"bgm", "音楽"},
    {"soundEffect", "効果音"},
    {"voice", "音声"},
    {"volume", "音量"},
    {"var", "変数"},
    {"if", "条件"},
    {"endGame", "終了"},
    {"clearRGB", "背景色"},
    {"trackbar", "スライダー"},
    {"dialog", "確認"},
    {"timer", "タイマー"},
    {"timerEnd", "タイマー停止"},
    {"createDummyCG", "仮立ち絵"},
};

const Word kTypes[] = {
    {"all", "全て"},
    {"bg", "背景"},
    {"cg", "立ち絵"},
    {"textbox", "テキストボックス"},
    {"sysButton", "システムボタン"},
    {"bgm", "音楽"},
    {"sfx", "効果音"},
    {"voice", "音声"},
    {"backlog", "履歴"},
    {"camera", "カメラ"},
};

const Word kOptions[] = {
    {"noCamera", "カメラなし"},         {"repeat", "繰り返し"}, {"none", "なし"}, {"buttonSelect", "ボタン選択"},
    {"msgboxSelect", "メッセージ選択"}, {"vertical", "縦書き"},
};
} // namespace

WordList CommandWords()
{
    return {kCommands, std::size(kCommands)};
}

WordList TypeWords()
{
    return {kTypes, std::size(kTypes)};
}

WordList OptionWords()
{
    return {kOptions, std::size(kOptions)};
}
} // namespace hostcommon
