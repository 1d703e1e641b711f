#pragma once
// The values every scene starts from, and how templates are recognised.
#include <filesystem>

#include "project/scene.h"

namespace qm {

inline constexpr const char* kUntitledSceneName = "Untitled Scene";
// The folder of templates, beside the program (or in the per-user data folder).
inline constexpr const char* kTemplatesFolderName = "Templates";

// A new scene: the defaults below with no nodes, no drawing, no composed movie, no file.
Scene makeNewScene();
CompressionSettings defaultCompression(CompressionSlot slot);
// A template is any file whose name ends in ".qmt", letter case ignored.
bool isTemplatePath(const std::filesystem::path& path);

} // namespace qm
