// Named frames of one sprite sheet and named animations over them, read from .anm scripts.
#pragma once

#include <cstdint>

#include "platform/win32/wintypes.h"

struct FrameRect {
    char name[32];
    int32_t left, top, right, bottom;
};

enum AnimationCommandType : int32_t {
    ANIM_FRAME = 1,
    ANIM_PAUSE = 2,
    ANIM_LOOP = 3,
    ANIM_OFFSET_X = 4,
    ANIM_OFFSET_Y = 5,
};

struct AnimationCommand {
    int32_t type;
    int32_t value;
};

class AnimationScript {
public:
    static constexpr int kMaxCommands = 256;
    AnimationScript();
    ~AnimationScript();
    AnimationScript(const AnimationScript&) = delete;
    AnimationScript& operator=(const AnimationScript&) = delete;

    void Step(int restart);
    void AddCommand(const AnimationCommand& command);

    char name[32] = {};
    AnimationCommand* commands = nullptr;
    int32_t commandCount = 0;
    int32_t position = 0;
    int32_t pauseCounter = 0;
    int32_t frame = -1;
    int32_t offsetX = 0;
    int32_t offsetY = 0;
    int32_t finished = 0;
};

class AnimationSet {
public:
    static constexpr int kMaxFrames = 128;
    static constexpr int kMaxScripts = 64;
    AnimationSet() = default;
    ~AnimationSet() { Free(); }
    AnimationSet(const AnimationSet&) = delete;
    AnimationSet& operator=(const AnimationSet&) = delete;

    int Load(const char* path);
    // Parses a script held in memory (the text must be NUL-terminated).
    void Parse(const char* text);
    int IsLoaded() const { return loaded_; }
    int FindAnimation(const char* name) const;
    int Animate(const char* name, int restart);
    int SetAnimation(int index, int restart);
    void GetFrameRect(RECT* out) const;
    int GetOffsetX() const { return current_ ? current_->offsetX : 0; }
    int GetOffsetY() const { return current_ ? current_->offsetY : 0; }
    int IsFinished() const { return current_ ? current_->finished : 0; }
    void Free();

    int FrameCount() const { return frameCount_; }
    const FrameRect* Frames() const { return frames_; }
    int ScriptCount() const { return scriptCount_; }
    AnimationScript* Script(int i) const { return i >= 0 && i < scriptCount_ ? scripts_[i] : nullptr; }
    int CurrentIndex() const { return currentIndex_; }
    int CurrentFrame() const { return currentFrame_; }

private:
    int FindFrameByName(const char* name) const;

    FrameRect* frames_ = nullptr;
    int32_t frameCount_ = 0;
    int32_t loaded_ = 0;
    AnimationScript* scripts_[kMaxScripts] = {};
    int32_t scriptCount_ = 0;
    int32_t currentIndex_ = -1;
    AnimationScript* current_ = nullptr;
    int32_t currentFrame_ = -1;
    RECT currentRect_ = {0, 0, 0, 0};
    char fileName_[32] = {};
};
