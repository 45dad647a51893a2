// Replacing a file so that readers and crashes see either the whole old content or the whole new
// one: the bytes go to a temporary file in the same folder, are flushed to disk, and the
// temporary file is then renamed over the target.
#pragma once

#include <filesystem>
#include <string_view>

namespace kx {

// What a temporary file's name adds to the target's name, before a part that makes it unique.
inline constexpr char kTemporaryMark[] = ".tmp-";

// Writes the bytes to a new temporary file beside the target (same folder, so the rename stays
// on one file system) and flushes it to disk. The temporary file takes the target's permission
// bits when the target exists. Returns its path; throws std::system_error on failure and then
// leaves no temporary file behind.
[[nodiscard]] std::filesystem::path WriteTemporaryBeside(const std::filesystem::path& target,
                                                         std::string_view bytes);

// Renames the temporary file over the target and flushes the folder entry. On failure the
// temporary file is removed, the target is unchanged, and std::system_error is thrown.
void CommitTemporary(const std::filesystem::path& temporary, const std::filesystem::path& target);

// Both steps together.
void ReplaceFileAtomically(const std::filesystem::path& target, std::string_view bytes);

// Removes the temporary files beside the target ("<name>.tmp-...") that replacements left behind
// when the process was killed between writing and renaming them. Only for a file that a single
// process writes, at its start, when none of its replacements can be under way. Errors are
// ignored: a leftover that stays does no harm beyond its space.
void RemoveLeftoverTemporaries(const std::filesystem::path& target) noexcept;

}  // namespace kx
