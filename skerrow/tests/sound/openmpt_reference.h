// Renders a module through libopenmpt, the reference the module player is compared against:
// linear interpolation, no volume ramping, full stereo separation, like the game's mixer.
#pragma once

#include <libopenmpt/libopenmpt.h>

#include <cstdint>
#include <vector>

class ReferencePlayer {
public:
    ReferencePlayer(const std::vector<uint8_t>& image, int rate) : rate_(rate)
    {
        int error = 0;
        const char* message = nullptr;
        mod_ = openmpt_module_create_from_memory2(image.data(), image.size(), nullptr, nullptr,
                                                  nullptr, nullptr, &error, &message, nullptr);
        if (message) openmpt_free_string(message);
        if (!mod_) return;
        openmpt_module_set_render_param(mod_, OPENMPT_MODULE_RENDER_INTERPOLATIONFILTER_LENGTH, 2);
        openmpt_module_set_render_param(mod_, OPENMPT_MODULE_RENDER_VOLUMERAMPING_STRENGTH, 0);
        openmpt_module_set_render_param(mod_, OPENMPT_MODULE_RENDER_STEREOSEPARATION_PERCENT, 100);
    }
    ~ReferencePlayer()
    {
        if (mod_) openmpt_module_destroy(mod_);
    }
    ReferencePlayer(const ReferencePlayer&) = delete;
    ReferencePlayer& operator=(const ReferencePlayer&) = delete;

    bool Loaded() const { return mod_ != nullptr; }
    // Interleaved stereo; returns the frames produced.
    size_t Read(int16_t* out, size_t frames)
    {
        return openmpt_module_read_interleaved_stereo(mod_, rate_, frames, out);
    }
    int Order() const { return openmpt_module_get_current_order(mod_); }
    int Row() const { return openmpt_module_get_current_row(mod_); }

private:
    openmpt_module* mod_ = nullptr;
    int rate_;
};
