// The four language files and the language choice.
#pragma once

#include <string>
#include <vector>

namespace fwdata {

constexpr int kTextCount = 412;   // ids 0..411

struct LanguageFile {
    std::string file;                 // "english.txt", ...
    std::vector<std::string> texts;   // by id, already in the game's character set
};

std::vector<LanguageFile> BuildLanguages();
// One entry a line: the id, a blank, the text in double quotes; LF line ends.
std::string FormatLanguageFile(const LanguageFile& lang);

}  // namespace fwdata
