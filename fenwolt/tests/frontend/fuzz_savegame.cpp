// Saved-game files of any content: read, checked, and when accepted written back and read again.
#include "fenwolt/Game/FrontEnd/Saves.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::unique_ptr<SavedGameState, void (*)(SavedGameState*)> state(NewSavedGameState(), DeleteSavedGameState);
    SaveHeader header{};
    if (ParseSaveHeader(data, size, header) && strnlen(header.timeText, sizeof header.timeText) >= sizeof header.timeText)
        std::abort();
    if (!ParseSavedGame(data, size, *state)) return 0;
    auto file = std::make_unique<SavedGameFile>();
    EncodeSavedGame(*state, *file);
    std::unique_ptr<SavedGameState, void (*)(SavedGameState*)> again(NewSavedGameState(), DeleteSavedGameState);
    // What was accepted once is accepted again, and written back the same.
    if (!ParseSavedGame(file->bytes, SavedGameFile::kSize, *again)) std::abort();
    auto second = std::make_unique<SavedGameFile>();
    EncodeSavedGame(*again, *second);
    if (std::memcmp(file->bytes, second->bytes, SavedGameFile::kSize) != 0) std::abort();
    ApplySavedGame(*state);
    return 0;
}
