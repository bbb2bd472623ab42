// Writes the whole working directory of the game.
#pragma once

#include <string>
#include <vector>

namespace fwdata {

// The five vertex-shader programs, by file name ("shader\\morph.nvv", ...), in the order
// the game loads them.
std::vector<std::pair<std::string, std::string>> ShaderPrograms();

// What the match's loading screen loads: meshes, then textures.
std::vector<std::string> MatchMeshList();
std::vector<std::string> MatchTextureList();
std::string FormatResourceList(const std::vector<std::string>& names);   // CR LF after every name

// The game's '\' names to a path under dir ('/' separators, letter case as given).
std::string DataPath(const std::string& dir, const std::string& gameName);

// Writes every file under outDir (creating folders; files of other origin, such as saves,
// are left alone) and returns the game names written. With a non-empty contactDir the
// contact sheets are written there as PNG.
std::vector<std::string> GenerateDataSet(const std::string& outDir, const std::string& contactDir);

}  // namespace fwdata
