#include "persistence/SaveFile.h"

#include "commands/CmdHandlers.h"
#include "core/Assert.h"
#include "core/NovelState.h"
#include "core/Services.h"
#include "entities/NBacklog.h"
#include "entities/NButton.h"
#include "entities/NCamera.h"
#include "entities/NMusic.h"
#include "entities/NTextbox.h"
#include "resources/Logger.h"
#include "resources/NHelper.h"
#include "resources/PhysFsStream.h"
#include "resources/ResourcePool.h"
#include "script/NParser.h"
#include "script/Parser.h"

#include <SFML/Audio/Music.hpp>

#include <cmath>
#include <cstdlib>
#include <optional>

namespace zel
{
namespace SaveFile
{
namespace
{
// ---- Reading attributes: one strict reader for the check and the load, so that they never disagree.

std::wstring Text(const pugi::xml_node& node, const char* name)
{
    return NHelper::s2ws(node.attribute(name).value());
}

/// A whole decimal number within [low, high]; empty when the attribute is missing or is anything else.
std::optional<int> Int(const pugi::xml_node& node, const char* name, long low, long high)
{
    const pugi::xml_attribute attribute = node.attribute(name);
    const char* text = attribute.value();
    if (attribute.empty() || *text == '\0')
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || value < low || value > high)
        return std::nullopt;
    return static_cast<int>(value);
}

/// A finite real number of a sensible size for a place, turn or scale.
std::optional<float> Real(const pugi::xml_node& node, const char* name)
{
    const pugi::xml_attribute attribute = node.attribute(name);
    const char* text = attribute.value();
    if (attribute.empty() || *text == '\0')
        return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (*end != '\0' || !std::isfinite(value) || std::fabs(value) > 1e7)
        return std::nullopt;
    return static_cast<float>(value);
}

std::optional<bool> Bool(const pugi::xml_node& node, const char* name)
{
    const std::string text = node.attribute(name).value();
    if (text == "true")
        return true;
    if (text == "false")
        return false;
    return std::nullopt;
}

constexpr int kIntMax = 2147483647;

/// The button jobs whose kind word a number follows, and the attribute that number is saved in.
struct NumberedJob
{
    ButtonTrigger trigger;
    const wchar_t* word;
    const char* attribute;
};
constexpr NumberedJob kNumberedJobs[] = {{TRIGGER_SAVESLOT, L"saveslot", "slotNumber"},
                                         {TRIGGER_LOADSLOT, L"loadslot", "slotNumber"},
                                         {TRIGGER_SAVEDELETE, L"savedelete", "slotNumber"},
                                         {TRIGGER_SCREEN, L"screen", "windowMode"}};

const NumberedJob* NumberedJobOf(int trigger)
{
    for (const NumberedJob& job : kNumberedJobs)
        if (job.trigger == trigger)
            return &job;
    return nullptr;
}
constexpr long kIntMin = -2147483647L - 1;

/// The text colour of a text box as written: "R G B", each 0 to 255.
std::optional<sf::Color> TextColour(const pugi::xml_node& node)
{
    const std::vector<std::wstring> numbers = NHelper::Tokenize(Text(node, "textColour"));
    if (numbers.size() != 3)
        return std::nullopt;
    int rgb[3] = {};
    for (std::size_t i = 0; i < 3; ++i)
    {
        if (!NHelper::IsNumber(numbers[i], false) || numbers[i].size() > 3 || (rgb[i] = std::stoi(numbers[i])) > 255)
            return std::nullopt;
    }
    return sf::Color(static_cast<sf::Uint8>(rgb[0]), static_cast<sf::Uint8>(rgb[1]), static_cast<sf::Uint8>(rgb[2]));
}

// ---- Writing.

void SetTransform(pugi::xml_node& node, const sf::Transformable& look)
{
    node.append_attribute("centerOrigin") = look.getOrigin() != sf::Vector2f(0.f, 0.f);
    node.append_attribute("xPos") = look.getPosition().x;
    node.append_attribute("yPos") = look.getPosition().y;
    node.append_attribute("rotation") = look.getRotation();
    node.append_attribute("scale") = look.getScale().x;
    // A background stretched over a window of another shape is scaled unevenly: its height's scale is kept too.
    if (look.getScale().y != look.getScale().x)
        node.append_attribute("scaleY") = look.getScale().y;
}

void SetColour(pugi::xml_node& node, const sf::Color& colour)
{
    node.append_attribute("r") = static_cast<int>(colour.r);
    node.append_attribute("g") = static_cast<int>(colour.g);
    node.append_attribute("b") = static_cast<int>(colour.b);
    node.append_attribute("a") = static_cast<int>(colour.a);
}

void SetText(pugi::xml_node& node, const char* name, const std::wstring& value)
{
    node.append_attribute(name) = NHelper::ws2s(value).c_str();
}

std::wstring FontName(const sTextbox& state)
{
    return state.font != nullptr ? state.font->key : std::wstring();
}

void WriteTextbox(pugi::xml_node& node, const sTextbox& state)
{
    node.append_attribute("width") = state.areaWidth;
    node.append_attribute("height") = state.areaHeight;
    SetText(node, "fontName", FontName(state));
    node.append_attribute("fontSize") = state.getCharacterSize();
    node.append_attribute("textSpeed") = state.MS_PER_LETTER;
    node.append_attribute("textStyle") = static_cast<int>(state.getStyle());
    node.append_attribute("textShadow") = state.shadow;
    node.append_attribute("textShadow:r") = static_cast<int>(state.shadowColour.r);
    node.append_attribute("textShadow:g") = static_cast<int>(state.shadowColour.g);
    node.append_attribute("textShadow:b") = static_cast<int>(state.shadowColour.b);
    const sf::Color colour = state.getFillColor();
    SetText(node, "textColour",
            NHelper::ToDecimal(colour.r) + L" " + NHelper::ToDecimal(colour.g) + L" " + NHelper::ToDecimal(colour.b));
    node.append_attribute("textVertical") = state.vertical;
    SetText(node, "text", state.text());
    if (state.skin != nullptr)
    {
        SetText(node, "skinFilename", state.skinFile);
        node.append_attribute("skin_xPos") = state.skin->getPosition().x;
        node.append_attribute("skin_yPos") = state.skin->getPosition().y;
    }
    if (!state.waitIconFile.empty())
        SetText(node, "waitIconFilename", state.waitIconFile);
}

void WriteButton(pugi::xml_node& node, NButton& button, const sButton& state)
{
    SetText(node, "srcScriptName", button.srcScriptName);
    node.append_attribute("triggerType") = static_cast<int>(state.job.trigger);
    SetText(node, "untouched_img", state.imageNames[LOOK_UNTOUCHED]);
    SetText(node, "touched_img", state.imageNames[LOOK_TOUCHED]);
    SetText(node, "clicked_img", state.imageNames[LOOK_CLICKED]);
    const ButtonTrigger trigger = state.job.trigger;
    if (const NumberedJob* numbered = NumberedJobOf(trigger))
        node.append_attribute(numbered->attribute) =
            trigger == TRIGGER_SCREEN ? static_cast<int>(state.job.windowMode) : state.job.slotNumber;
    if (trigger == TRIGGER_TEXTREAD || trigger == TRIGGER_SCRIPT)
    {
        SetText(node, "exec_line", state.job.execLine);
        if (!state.touchLine.empty())
            SetText(node, "exec_line_touch", state.touchLine);
    }
    const sTextbox* caption = state.text != nullptr ? state.text->m_TextStates.latest(false) : nullptr;
    if (caption != nullptr)
    {
        SetText(node, "btnText", caption->text());
        SetText(node, "btnTextFont", FontName(*caption));
        node.append_attribute("btnTextFontSize") = caption->getCharacterSize();
    }
}

/// One entity's element; false when the entity is incomplete and the save must stop.
bool WriteEntity(pugi::xml_node& layer, NEntity& entity)
{
    pugi::xml_node node = layer.append_child("entity");
    node.append_attribute("nType") = static_cast<int>(entity.nType);
    SetText(node, "name", entity.name);
    node.append_attribute("incamera") = entity.inCamera();
    if (entity.nType == NTYPE_TEXTBOX)
    {
        sTextbox* text = static_cast<NTextbox&>(entity).getCurrentText();
        if (text == nullptr)
            return false;
        SetTransform(node, *text);
        SetColour(node, text->getFillColor());
        WriteTextbox(node, *text);
        return true;
    }
    sSprite* sprite = entity.getCurrentSprite();
    if (sprite == nullptr && (entity.nType == NTYPE_CG || entity.nType == NTYPE_BG))
        return false;
    if (sprite != nullptr)
    {
        SetTransform(node, *sprite);
        SetColour(node, sprite->getColor());
    }
    switch (entity.nType)
    {
    case NTYPE_CG:
    case NTYPE_BG:
        SetText(node, "imageFileName", sprite->m_pTexture != nullptr ? sprite->m_pTexture->key : std::wstring());
        break;
    case NTYPE_BUTTON:
    case NTYPE_SYSBUTTON:
        if (auto* button = dynamic_cast<NButton*>(&entity))
            WriteButton(node, *button, static_cast<const sButton&>(*button->m_ButtonStates.latest(true)));
        break;
    case NTYPE_BGM:
        if (auto* music = dynamic_cast<NMusic*>(&entity))
        {
            const sMusic* state = music->m_BgmMap.latest(true);
            SetText(node, "playFilename", state != nullptr ? state->FileName() : std::wstring());
            node.append_attribute("repeat") = music->music()->getLoop();
        }
        break;
    default:
        OutputDebugStringN(L"\nERROR: SKIPPED ENTITIY THAT NEEDS SAVING. name:%s \n", entity.name.c_str());
        break;
    }
    return true;
}

void WriteParsers(pugi::xml_node parsers, const SystemVariables& sysVars)
{
    for (const std::shared_ptr<Parser>& parser : Services::pNParser->m_parserDeque)
    {
        if (parser->scriptName == sysVars.MsgboxScript)
            continue;
        pugi::xml_node node = parsers.append_child("parser");
        SetText(node, "scriptname", parser->scriptName);
        node.append_attribute("readlineno") = parser->readlineno;
        node.append_attribute("script_type") = static_cast<int>(parser->parserKind);
        node.append_attribute("parser_state") = static_cast<int>(parser->m_ParserState);
        node.append_attribute("parsing_scenario") = parser->TextMode();
        OutputDebugStringN(L"(Services::saveSaveData) PUSHED PARSER. scriptname:%s, readlineno:%i, parser_state:%i \n",
                           parser->scriptName.c_str(), parser->readlineno, static_cast<int>(parser->m_ParserState));
    }
}

bool WriteEntities(pugi::xml_node root, EntityRegistry& entities)
{
    for (const auto& [number, list] : entities.entityLayers)
    {
        pugi::xml_node layer = root.append_child("layer");
        layer.append_attribute("number") = number;
        for (const EntityPtr& entity : list)
        {
            if (entity->creatorKind == PARSER_MSGBOX)
            {
                OutputDebugStringN(L"SKIPPING ENTITIY SAVE. name:%s \n", entity->name.c_str());
                continue;
            }
            if (!WriteEntity(layer, *entity))
            {
                OutputDebugStringN(L"\nERROR. (Services::saveSaveData) entity:%s has no look to save. nothing was "
                                   L"written \n",
                                   entity->name.c_str());
                return false;
            }
        }
    }
    return true;
}

void WriteTriggers(pugi::xml_node parent, const char* name, const std::map<int, TriggerRecord>& triggers)
{
    for (const auto& [key, record] : triggers)
    {
        pugi::xml_node node = parent.append_child(name);
        node.append_attribute("key") = key;
        node.append_attribute("triggerLine") = record.triggerLine;
        SetText(node, "trigger_function", record.trigger_function);
    }
}

void WriteSysVars(pugi::xml_node root, SystemVariables& sysVars)
{
    pugi::xml_node related = root.append_child("EntityRelated");
    SetText(related, "curBacklogUseTextareaName", sysVars.curBacklogUseTextareaName.get(true));
    SetText(related, "curUseTextareaName", sysVars.curUseTextareaName.get(true));
    related.append_attribute("textAutoWait") = sysVars.textAutoWait.get(true);
    pugi::xml_node input = root.append_child("InputTriggers");
    WriteTriggers(input.append_child("KeyTriggers"), "KeyTrigger", sysVars.keyTriggers);
    WriteTriggers(input.append_child("MouseTriggers"), "MouseTrigger", sysVars.mouseTriggers);
    pugi::xml_node variables = root.append_child("Variables");
    for (const auto& [name, value] : sysVars.variables)
    {
        pugi::xml_node var = variables.append_child("var");
        SetText(var, "var_name", name);
        SetText(var, "var_val", value);
    }
}

// ---- Checking.

/// Collects the first problem of a document, with where it is.
class Problems
{
public:
    explicit Problems(std::wstring& out) : m_out(out) {}
    bool ok() const { return m_out.empty(); }
    /// Records what (in the element where) unless a problem is recorded already; false so callers can return it.
    bool Add(const std::wstring& where, const std::wstring& what)
    {
        if (m_out.empty())
            m_out = where + L": " + what;
        return false;
    }
    template <typename T> bool Need(const std::optional<T>& value, const std::wstring& where, const char* name)
    {
        return value.has_value() || Add(where, L"attribute \"" + NHelper::s2ws(name) + L"\" is missing or invalid");
    }
    bool NeedText(const pugi::xml_node& node, const std::wstring& where, const char* name)
    {
        return !node.attribute(name).empty() ||
               Add(where, L"attribute \"" + NHelper::s2ws(name) + L"\" is missing");
    }
    bool NeedFile(const pugi::xml_node& node, const std::wstring& where, const char* name)
    {
        if (!NeedText(node, where, name))
            return false;
        return !NHelper::ClimbsOut(Text(node, name)) ||
               Add(where, L"\"" + NHelper::s2ws(name) + L"\" leaves its data folder");
    }

private:
    std::wstring& m_out;
};

bool CheckColour(Problems& problems, const pugi::xml_node& node, const std::wstring& where, const char* const names[],
                 std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        if (!problems.Need(Int(node, names[i], 0, 255), where, names[i]))
            return false;
    return true;
}

/// The place, turn, scale and origin of an entity or the camera.
bool CheckPlace(Problems& problems, const pugi::xml_node& node, const std::wstring& where)
{
    for (const char* name : {"xPos", "yPos", "rotation", "scale"})
        if (!problems.Need(Real(node, name), where, name))
            return false;
    if (!node.attribute("scaleY").empty() && !problems.Need(Real(node, "scaleY"), where, "scaleY"))
        return false;
    return problems.Need(Bool(node, "centerOrigin"), where, "centerOrigin");
}

bool CheckTransform(Problems& problems, const pugi::xml_node& node, const std::wstring& where)
{
    if (node.attribute("xPos").empty())
        return true; // an entity without a look (music, sound) has none of these
    static const char* const colour[] = {"r", "g", "b", "a"};
    return CheckPlace(problems, node, where) && CheckColour(problems, node, where, colour, 4);
}

bool CheckTextbox(Problems& problems, const pugi::xml_node& node, const std::wstring& where)
{
    static const char* const ints[] = {"width", "height", "textSpeed", "textStyle", "textShadow"};
    for (const char* name : ints)
        if (!problems.Need(Int(node, name, kIntMin, kIntMax), where, name))
            return false;
    static const char* const shadow[] = {"textShadow:r", "textShadow:g", "textShadow:b"};
    if (!problems.Need(Int(node, "fontSize", 1, 4096), where, "fontSize") || !CheckColour(problems, node, where, shadow, 3) ||
        !problems.Need(Bool(node, "textVertical"), where, "textVertical") ||
        !problems.NeedFile(node, where, "fontName") || !problems.NeedText(node, where, "text"))
        return false;
    if (!node.attribute("textColour").empty() && !problems.Need(TextColour(node), where, "textColour"))
        return false;
    if (!node.attribute("skinFilename").empty() &&
        (!problems.NeedFile(node, where, "skinFilename") || !problems.Need(Real(node, "skin_xPos"), where, "skin_xPos") ||
         !problems.Need(Real(node, "skin_yPos"), where, "skin_yPos")))
        return false;
    return node.attribute("waitIconFilename").empty() || problems.NeedFile(node, where, "waitIconFilename");
}

bool CheckButton(Problems& problems, const pugi::xml_node& node, const std::wstring& where)
{
    const std::optional<int> trigger = Int(node, "triggerType", TRIGGER_NONE, TRIGGER_SCRIPT);
    if (!problems.Need(trigger, where, "triggerType") || !problems.NeedText(node, where, "srcScriptName"))
        return false;
    for (const char* image : {"untouched_img", "touched_img", "clicked_img"})
        if (!problems.NeedFile(node, where, image))
            return false;
    const int kind = *trigger;
    const NumberedJob* numbered = NumberedJobOf(kind);
    if (numbered != nullptr && !problems.Need(Int(node, numbered->attribute, 0, kIntMax), where, numbered->attribute))
        return false;
    if ((kind == TRIGGER_TEXTREAD || kind == TRIGGER_SCRIPT) && !problems.NeedText(node, where, "exec_line"))
        return false;
    if (node.attribute("btnText").empty())
        return true;
    return problems.NeedFile(node, where, "btnTextFont") &&
           problems.Need(Int(node, "btnTextFontSize", 1, 4096), where, "btnTextFontSize");
}

bool CheckEntity(Problems& problems, const pugi::xml_node& node, const std::wstring& layerWhere)
{
    const std::wstring where = layerWhere + L", entity \"" + Text(node, "name") + L"\"";
    const std::optional<int> type = Int(node, "nType", NTYPE_CG, NTYPE_WAITICON);
    if (!problems.Need(type, where, "nType") || !problems.Need(Bool(node, "incamera"), where, "incamera") ||
        (node.attribute("name").value()[0] == '\0' && !problems.Add(where, L"the entity has no name")) ||
        !CheckTransform(problems, node, where))
        return false;
    switch (*type)
    {
    case NTYPE_CG:
    case NTYPE_BG:
        return problems.NeedFile(node, where, "imageFileName");
    case NTYPE_TEXTBOX:
        return CheckTextbox(problems, node, where);
    case NTYPE_BUTTON:
    case NTYPE_SYSBUTTON:
        return CheckButton(problems, node, where);
    case NTYPE_BGM:
        return problems.NeedFile(node, where, "playFilename") && problems.Need(Bool(node, "repeat"), where, "repeat");
    default:
        return true;
    }
}

bool CheckParsers(Problems& problems, const pugi::xml_node& parsers, Checked& checked)
{
    const SystemVariables* sysVars = Services::SysVars();
    int index = 0;
    for (const pugi::xml_node& node : parsers.children("parser"))
    {
        const std::wstring where = L"parser " + std::to_wstring(++index) + L" (" + Text(node, "scriptname") + L")";
        const std::optional<int> kind = Int(node, "script_type", PARSER_MAIN, PARSER_MSGBOX);
        if (!problems.Need(Int(node, "readlineno", 0, kIntMax), where, "readlineno") ||
            !problems.Need(kind, where, "script_type") ||
            !problems.Need(Int(node, "parser_state", PARSE_STOP, WAIT_MSGBOXSEL), where, "parser_state") ||
            !problems.Need(Bool(node, "parsing_scenario"), where, "parsing_scenario") ||
            !problems.NeedFile(node, where, "scriptname"))
            return false;
        if ((index == 1) != (*kind == PARSER_MAIN))
            return problems.Add(where, L"the first parser, and only it, must be the main script's");
        std::wstring text;
        const std::wstring path = (sysVars != nullptr ? sysVars->dataPaths[DATA_SCRIPTS].folder : L"Scripts/") +
                                  Text(node, "scriptname");
        if (!PhysFsStream::ReadTxtFile(NHelper::ws2s(path), text))
            return problems.Add(where, L"the script " + path + L" cannot be read");
        checked.scriptTexts.push_back(std::move(text));
    }
    return index > 0 || problems.Add(L"Parsers", L"no parser is saved");
}

bool CheckSysVars(Problems& problems, const pugi::xml_node& root)
{
    const pugi::xml_node related = root.child("EntityRelated");
    if (!problems.NeedText(related, L"EntityRelated", "curBacklogUseTextareaName") ||
        !problems.NeedText(related, L"EntityRelated", "curUseTextareaName") ||
        !problems.Need(Bool(related, "textAutoWait"), L"EntityRelated", "textAutoWait"))
        return false;
    const pugi::xml_node input = root.child("InputTriggers");
    for (const char* group : {"KeyTriggers", "MouseTriggers"})
        for (const pugi::xml_node& trigger : input.child(group).children())
        {
            const std::wstring where = NHelper::s2ws(group);
            if (!problems.Need(Int(trigger, "key", kIntMin, kIntMax), where, "key") ||
                !problems.Need(Int(trigger, "triggerLine", kIntMin, kIntMax), where, "triggerLine") ||
                !problems.NeedText(trigger, where, "trigger_function"))
                return false;
        }
    for (const pugi::xml_node& var : root.child("Variables").children("var"))
        if (var.attribute("var_name").value()[0] == '\0' || var.attribute("var_val").empty())
            return problems.Add(L"Variables", L"a var without \"var_name\" or \"var_val\"");
    return true;
}

// ---- Loading.

std::wstring CameraOption(bool inCamera)
{
    return inCamera ? std::wstring() : CmdHandlers::Word(L"CmdOptions_noCamera");
}

void PushParsers(const pugi::xml_node& parsers, const Checked& checked)
{
    Services::pNParser = std::make_unique<NParser>();
    std::size_t index = 0;
    for (const pugi::xml_node& node : parsers.children("parser"))
    {
        auto parser = std::make_shared<Parser>(Text(node, "scriptname"), checked.scriptTexts[index++],
                                               static_cast<std::uint8_t>(*Int(node, "script_type", 0, 255)));
        Services::pNParser->Push(parser);
        parser->GotoLine(*Int(node, "readlineno", 0, kIntMax) + 1);
        parser->m_ParserState = static_cast<std::uint8_t>(*Int(node, "parser_state", 0, 255));
        parser->textModeRecord.set(*Bool(node, "parsing_scenario"), false);
    }
}

void CreateTextbox(const pugi::xml_node& node, const std::wstring& name, int layer, bool inCamera)
{
    auto number = [&node](const char* attribute) { return Text(node, attribute); };
    const std::wstring x = NHelper::ToDecimal(static_cast<int>(std::lround(*Real(node, "xPos"))));
    const std::wstring y = NHelper::ToDecimal(static_cast<int>(std::lround(*Real(node, "yPos"))));
    const CmdHandlers::Tokens items{L"textbox",          name,
                                    x,                   y,
                                    NHelper::ToDecimal(layer),
                                    number("width"),     number("height"),
                                    number("fontName"),  number("fontSize"),
                                    number("textSpeed"), number("textStyle"),
                                    number("textShadow"), number("textColour"),
                                    number("textVertical"), number("text")};
    CmdHandlers::InitTextarea(items, inCamera);
}

void CreateButton(const pugi::xml_node& node, NType type, const std::wstring& name, int layer, bool inCamera)
{
    auto coordinate = [&node](const char* attribute) {
        return NHelper::ToDecimal(static_cast<int>(std::lround(*Real(node, attribute))));
    };
    CmdHandlers::Tokens tokens{L"button",          name,
                               Text(node, "untouched_img"), Text(node, "touched_img"),
                               Text(node, "clicked_img"),   coordinate("xPos"),
                               coordinate("yPos"),          NHelper::ToDecimal(layer)};
    if (!inCamera)
        tokens.push_back(CameraOption(false));
    const int trigger = *Int(node, "triggerType", 0, 255);
    if (const NumberedJob* numbered = NumberedJobOf(trigger))
        tokens.insert(tokens.end(), {numbered->word, Text(node, numbered->attribute)});
    if (trigger == TRIGGER_TEXTREAD || trigger == TRIGGER_SCRIPT)
        for (const std::wstring& word : NHelper::Tokenize(Text(node, "exec_line")))
            tokens.push_back(word);
    CmdHandlers::ExecuteButton(tokens, type == NTYPE_SYSBUTTON, Text(node, "srcScriptName"));
    const std::shared_ptr<NButton> button = CmdHandlers::getButtonWithName(name);
    if (button == nullptr)
        return;
    if (!node.attribute("exec_line_touch").empty())
        button->setTouchLine(Text(node, "exec_line_touch"));
    if (!node.attribute("btnText").empty())
        CmdHandlers::ExecuteButtonText(
            {L"btnText", name, Text(node, "btnTextFont"), Text(node, "btnTextFontSize"), L"\"" + Text(node, "btnText")});
}

/// Re-creates one entity through the command handlers that scripts use.
void CreateEntity(const pugi::xml_node& node, int layer)
{
    const NType type = static_cast<NType>(*Int(node, "nType", 0, 255));
    const std::wstring name = Text(node, "name");
    const bool inCamera = *Bool(node, "incamera");
    switch (type)
    {
    case NTYPE_CG:
    case NTYPE_BG:
        CmdHandlers::HandleCG_InsRm(type, name, Text(node, "imageFileName"), *Real(node, "xPos"),
                                    *Real(node, "yPos"), layer, CameraOption(inCamera));
        break;
    case NTYPE_TEXTBOX:
        CreateTextbox(node, name, layer, inCamera);
        break;
    case NTYPE_BUTTON:
    case NTYPE_SYSBUTTON:
        CreateButton(node, type, name, layer, inCamera);
        break;
    case NTYPE_BGM:
    {
        CmdHandlers::Tokens tokens{L"bgm", Text(node, "playFilename")};
        if (*Bool(node, "repeat"))
            tokens.push_back(CmdHandlers::Word(L"CmdOptions_repeat"));
        CmdHandlers::ExecuteMusic(tokens);
        break;
    }
    default:
        OutputDebugStringN(L"ERROR: (Services::loadSaveData) ntype:%i not loaded \n", static_cast<int>(type));
        break;
    }
}

/// Places a transformable as saved: origin at its centre or its corner, then position, turn and scale.
void ApplyTransform(sf::Transformable& look, const pugi::xml_node& node, const sf::Vector2f& size)
{
    look.setOrigin(*Bool(node, "centerOrigin") ? sf::Vector2f(std::floor(size.x / 2), std::floor(size.y / 2))
                                               : sf::Vector2f(0.f, 0.f));
    look.setPosition(*Real(node, "xPos"), *Real(node, "yPos"));
    look.setRotation(*Real(node, "rotation"));
    const float scale = *Real(node, "scale");
    look.setScale(scale, node.attribute("scaleY").empty() ? scale : *Real(node, "scaleY"));
}

sf::Color SavedColour(const pugi::xml_node& node)
{
    auto channel = [&node](const char* name) { return static_cast<sf::Uint8>(*Int(node, name, 0, 255)); };
    return sf::Color(channel("r"), channel("g"), channel("b"), channel("a"));
}

void ApplyLook(NEntity& entity, const pugi::xml_node& node)
{
    entity.setInCamera(*Bool(node, "incamera"));
    if (node.attribute("xPos").empty())
        return;
    if (entity.nType == NTYPE_TEXTBOX)
    {
        sTextbox* text = static_cast<NTextbox&>(entity).getCurrentText();
        if (!QH_ASSERT(text != nullptr, L"pText != nullptr", L"Services_System", 420))
            return;
        ApplyTransform(*text, node, sf::Vector2f(text->shaped().getLocalBounds().width,
                                                 text->shaped().getLocalBounds().height));
        sf::Color colour = SavedColour(node);
        if (const std::optional<sf::Color> written = TextColour(node))
            colour = sf::Color(written->r, written->g, written->b, colour.a);
        text->setFillColor(colour);
        text->shadow = *Int(node, "textShadow", kIntMin, kIntMax);
        text->shadowColour = sf::Color(static_cast<sf::Uint8>(*Int(node, "textShadow:r", 0, 255)),
                                       static_cast<sf::Uint8>(*Int(node, "textShadow:g", 0, 255)),
                                       static_cast<sf::Uint8>(*Int(node, "textShadow:b", 0, 255)));
        auto& box = static_cast<NTextbox&>(entity);
        if (!node.attribute("skinFilename").empty())
            box.loadSkin(Text(node, "skinFilename"), *Real(node, "skin_xPos"), *Real(node, "skin_yPos"));
        if (!node.attribute("waitIconFilename").empty())
            box.loadWaitIcon(Text(node, "waitIconFilename"));
        return;
    }
    sSprite* sprite = entity.getCurrentSprite();
    if (sprite == nullptr)
        return;
    const sf::IntRect rect = sprite->getTextureRect();
    ApplyTransform(*sprite, node, sf::Vector2f(static_cast<float>(rect.width), static_cast<float>(rect.height)));
    entity.setColor(SavedColour(node));
}

void LoadEntities(const pugi::xml_node& root)
{
    EntityRegistry* entities = Services::Entities();
    for (const pugi::xml_node& layer : root.children("layer"))
    {
        const int number = *Int(layer, "number", kIntMin, kIntMax);
        for (const pugi::xml_node& node : layer.children("entity"))
        {
            CreateEntity(node, number);
            if (const EntityPtr entity = entities->Find(Text(node, "name")))
                ApplyLook(*entity, node);
        }
    }
}

void LoadCamera(const pugi::xml_node& camera)
{
    EntityRegistry* entities = Services::Entities();
    if (!QH_ASSERT(entities->pCamera != nullptr, L"pEntities->pCamera != nullptr", L"Services_System", 437))
        return;
    if (camera.empty())
        return;
    sSprite* look = entities->pCamera->getCurrentSprite();
    if (look != nullptr)
        ApplyTransform(*look, camera, sf::Vector2f(0.f, 0.f));
}

void LoadSysVars(const pugi::xml_node& root)
{
    SystemVariables* sysVars = Services::SysVars();
    EntityRegistry* entities = Services::Entities();
    const pugi::xml_node related = root.child("EntityRelated");
    const std::wstring backlog = Text(related, "curBacklogUseTextareaName");
    if (entities->Find(backlog) == nullptr)
        OutputDebugStringN(L"\nERROR. (LOAD) curBacklogUseTextareaName DOES NOT EXIST \n");
    else
        CmdHandlers::ExecuteBacklogConfig({L"backlogConfig", backlog});
    sysVars->curUseTextareaName.set(Text(related, "curUseTextareaName"), false);
    sysVars->textAutoWait.set(*Bool(related, "textAutoWait"), false);
    const pugi::xml_node input = root.child("InputTriggers");
    auto triggers = [&input](const char* group, std::map<int, TriggerRecord>& into) {
        into.clear();
        for (const pugi::xml_node& node : input.child(group).children())
            into[*Int(node, "key", kIntMin, kIntMax)] =
                TriggerRecord{*Int(node, "triggerLine", kIntMin, kIntMax), Text(node, "trigger_function")};
    };
    triggers("KeyTriggers", sysVars->keyTriggers);
    triggers("MouseTriggers", sysVars->mouseTriggers);
    for (const pugi::xml_node& var : root.child("Variables").children("var"))
        sysVars->variables[Text(var, "var_name")] = Text(var, "var_val");
}
} // namespace

bool Build(pugi::xml_document& document)
{
    SystemVariables* sysVars = Services::SysVars();
    EntityRegistry* entities = Services::Entities();
    if (sysVars == nullptr || entities == nullptr || Services::pNParser == nullptr)
        return false;
    WriteParsers(document.append_child("Parsers"), *sysVars);
    if (!WriteEntities(document.append_child("Entities"), *entities))
        return false;
    pugi::xml_node system = document.append_child("SysEntities");
    if (entities->pCamera != nullptr)
    {
        pugi::xml_node camera = system.append_child("Camera");
        if (const sSprite* look = entities->pCamera->getCurrentSprite())
            SetTransform(camera, *look);
    }
    WriteSysVars(document.append_child("SysVars"), *sysVars);
    return true;
}

bool Check(const pugi::xml_document& document, Checked& checked, std::wstring& problem)
{
    Problems problems(problem);
    for (const char* section : {"Parsers", "Entities", "SysEntities", "SysVars"})
        if (document.child(section).empty())
            return problems.Add(NHelper::s2ws(section), L"the element is missing");
    if (!CheckParsers(problems, document.child("Parsers"), checked))
        return false;
    for (const pugi::xml_node& layer : document.child("Entities").children("layer"))
    {
        const std::wstring where = L"layer " + Text(layer, "number");
        if (!problems.Need(Int(layer, "number", kIntMin, kIntMax), where, "number"))
            return false;
        for (const pugi::xml_node& entity : layer.children("entity"))
            if (!CheckEntity(problems, entity, where))
                return false;
    }
    const pugi::xml_node camera = document.child("SysEntities").child("Camera");
    if (!camera.empty() && !CheckPlace(problems, camera, L"Camera"))
        return false;
    return CheckSysVars(problems, document.child("SysVars"));
}

void Apply(const pugi::xml_document& document, const Checked& checked)
{
    PushParsers(document.child("Parsers"), checked);
    LoadEntities(document.child("Entities"));
    LoadCamera(document.child("SysEntities").child("Camera"));
    LoadSysVars(document.child("SysVars"));
}

} // namespace SaveFile
} // namespace zel
