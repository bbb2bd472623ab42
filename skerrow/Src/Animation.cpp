#include "skerrow/Src/Animation.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

#include "skerrow/Src/ResourceLocator.h"

AnimationScript::AnimationScript() : commands(new AnimationCommand[kMaxCommands]()) {}

AnimationScript::~AnimationScript() { delete[] commands; }

void AnimationScript::AddCommand(const AnimationCommand& command)
{
    if (commandCount >= kMaxCommands) return;
    commands[commandCount++] = command;
    position = 0;
}

void AnimationScript::Step(int restart)
{
    if (restart) {
        position = 0;
        pauseCounter = 0;
    }
    // Offset commands run on in the same tick; a bounded loop instead of recursion, since a
    // script of nothing but offsets has at most kMaxCommands of them.
    for (;;) {
        if (position < 0 || position >= commandCount) {
            finished = 1;
            return;
        }
        finished = 0;
        const AnimationCommand& c = commands[position];
        switch (c.type) {
        case ANIM_FRAME:
            frame = c.value;
            ++position;
            return;
        case ANIM_PAUSE:
            if (pauseCounter == 0) {
                pauseCounter = c.value;
            } else {
                int was = pauseCounter--;
                if (was == 1) ++position;
            }
            return;
        case ANIM_LOOP:
            position = 0;
            return;
        case ANIM_OFFSET_X:
            offsetX = c.value;
            ++position;
            continue;
        case ANIM_OFFSET_Y:
            offsetY = c.value;
            ++position;
            continue;
        default:
            ++position;
            return;
        }
    }
}

namespace {

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

struct Keyword {
    std::string word;
    size_t after;  // index just past the word
};

// The next '*word' at or after pos; false at the end of the text.
bool NextKeyword(const char* text, size_t length, size_t& pos, Keyword& out)
{
    while (pos < length) {
        if (text[pos] == '*' && pos + 1 < length && IsWordChar(text[pos + 1])) {
            size_t end = pos + 1;
            while (end < length && IsWordChar(text[end])) ++end;
            out.word.assign(text + pos + 1, end - pos - 1);
            out.after = end;
            pos = end;
            return true;
        }
        ++pos;
    }
    return false;
}

// The block after pos: [open + 1, close); an unclosed block runs to the end.
bool FindBlock(const char* text, size_t length, size_t pos, size_t& begin, size_t& end)
{
    const char* open = static_cast<const char*>(std::memchr(text + pos, '{', length - pos));
    if (!open) return false;
    begin = static_cast<size_t>(open - text) + 1;
    int depth = 1;
    size_t i = begin;
    for (; i < length; ++i) {
        if (text[i] == '{') ++depth;
        if (text[i] == '}' && --depth == 0) break;
    }
    end = i;
    return true;
}

std::vector<std::string> LineItems(const char* text, size_t length, size_t pos)
{
    std::vector<std::string> items;
    std::string item;
    for (; pos < length && text[pos] != '\n' && text[pos] != '\r'; ++pos) {
        char c = text[pos];
        if (c == ',' || c == ' ' || c == '\t') {
            if (!item.empty()) items.push_back(item);
            item.clear();
        } else {
            item += c;
        }
    }
    if (!item.empty()) items.push_back(item);
    return items;
}

bool IsNumber(const std::string& s) { return !s.empty() && (std::isdigit(static_cast<unsigned char>(s[0])) || s[0] == '-'); }
int ToInt(const std::string& s) { return static_cast<int>(std::strtol(s.c_str(), nullptr, 10)); }
int ItemInt(const std::vector<std::string>& items, size_t i) { return i < items.size() ? ToInt(items[i]) : 0; }

void CopyName(char (&out)[32], const std::string& s)
{
    std::strncpy(out, s.c_str(), sizeof out - 1);
    out[sizeof out - 1] = 0;
}

}  // namespace

void AnimationSet::Free()
{
    delete[] frames_;
    frames_ = nullptr;
    frameCount_ = 0;
    for (int i = 0; i < scriptCount_; ++i) delete scripts_[i];
    scriptCount_ = 0;
    current_ = nullptr;
    currentIndex_ = -1;
    currentFrame_ = -1;
    currentRect_ = {0, 0, 0, 0};
    loaded_ = 0;
}

int AnimationSet::Load(const char* path)
{
    Free();
    char* text = LoadResourceFile(path, 1);
    if (!text) return 0;
    // Only the base name is kept; a long path is cut rather than overrunning the field.
    if (path) {
        std::strncpy(fileName_, path, sizeof fileName_ - 1);
        fileName_[sizeof fileName_ - 1] = 0;
    }
    Parse(text);
    FreeResourceBuffer(text);
    loaded_ = 1;
    return 1;
}

int AnimationSet::FindFrameByName(const char* name) const
{
    for (int i = 0; i < frameCount_; ++i)
        if (::strcasecmp(frames_[i].name, name) == 0) return i;
    return -1;
}

void AnimationSet::Parse(const char* text)
{
    if (!text) return;
    const size_t length = std::strlen(text);
    if (!frames_) frames_ = new FrameRect[kMaxFrames]();
    Keyword kw;
    size_t pos = 0;
    while (NextKeyword(text, length, pos, kw)) {
        if (::strcasecmp(kw.word.c_str(), "ALL_FRAMES") != 0) continue;
        size_t begin, end;
        if (!FindBlock(text, length, kw.after, begin, end)) break;
        size_t p = begin;
        while (NextKeyword(text, end, p, kw)) {
            if (frameCount_ >= kMaxFrames) break;
            std::vector<std::string> items = LineItems(text, end, kw.after);
            FrameRect& f = frames_[frameCount_++];
            CopyName(f.name, items.empty() ? std::string() : items[0]);
            int x = ItemInt(items, 1), y = ItemInt(items, 2);
            f.left = x;
            f.top = y;
            f.right = x + ItemInt(items, 3);
            f.bottom = y + ItemInt(items, 4);
        }
        break;
    }
    pos = 0;
    while (NextKeyword(text, length, pos, kw)) {
        if (::strcasecmp(kw.word.c_str(), "ANIMATION") != 0) continue;
        std::vector<std::string> head = LineItems(text, length, kw.after);
        size_t begin, end;
        if (!FindBlock(text, length, kw.after, begin, end)) break;
        pos = end;
        if (scriptCount_ >= kMaxScripts) continue;
        AnimationScript* script = new AnimationScript;
        CopyName(script->name, head.empty() ? std::string() : head[0]);
        size_t p = begin;
        Keyword cmd;
        while (NextKeyword(text, end, p, cmd)) {
            std::vector<std::string> items = LineItems(text, end, cmd.after);
            if (::strcasecmp(cmd.word.c_str(), "FRAME") == 0) {
                size_t i = 0;
                int ox = 0, oy = 0;
                if (i < items.size() && IsNumber(items[i])) ox = ToInt(items[i++]);
                if (i < items.size() && IsNumber(items[i])) oy = ToInt(items[i++]);
                while (i < items.size() && IsNumber(items[i])) ++i;
                script->AddCommand({ANIM_OFFSET_X, ox});
                script->AddCommand({ANIM_OFFSET_Y, oy});
                if (i < items.size()) {
                    int frame = FindFrameByName(items[i].c_str());
                    if (frame >= 0) {
                        script->AddCommand({ANIM_FRAME, frame});
                        if (i + 1 < items.size()) script->AddCommand({ANIM_PAUSE, ToInt(items[i + 1])});
                    }
                }
            } else if (::strcasecmp(cmd.word.c_str(), "PAUSE") == 0) {
                if (!items.empty()) script->AddCommand({ANIM_PAUSE, ToInt(items[0])});
            } else if (::strcasecmp(cmd.word.c_str(), "LOOP") == 0) {
                script->AddCommand({ANIM_LOOP, 0});
            }
        }
        script->position = 0;
        scripts_[scriptCount_++] = script;
    }
}

int AnimationSet::FindAnimation(const char* name) const
{
    if (!name) return currentIndex_;
    for (int i = 0; i < scriptCount_; ++i)
        if (::strcasecmp(scripts_[i]->name, name) == 0) return i;
    return -1;
}

int AnimationSet::Animate(const char* name, int restart)
{
    return SetAnimation(FindAnimation(name), restart);
}

int AnimationSet::SetAnimation(int index, int restart)
{
    if (index < 0 || index >= scriptCount_) {
        // An unknown animation leaves nothing current: nothing is drawn and the offsets read 0.
        current_ = nullptr;
        currentIndex_ = -1;
        return 0;
    }
    AnimationScript* script = scripts_[index];
    bool restartIt = restart || script != current_;
    current_ = script;
    currentIndex_ = index;
    script->Step(restartIt ? 1 : 0);
    if (script->frame >= 0 && script->frame < frameCount_) {
        currentFrame_ = script->frame;
        const FrameRect& f = frames_[currentFrame_];
        currentRect_ = {f.left, f.top, f.right, f.bottom};
    }
    return 1;
}

void AnimationSet::GetFrameRect(RECT* out) const
{
    if (out) *out = currentRect_;
}
