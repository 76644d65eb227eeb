// Appending one record to a file so that it survives a crash or a power cut once the call
// returns: one append-mode write, then a flush to disk.
#pragma once

#include <filesystem>
#include <string_view>

namespace tovalix::platform {

// Appends `text` to `path` with a single append-mode write and flushes it to disk before
// returning. A record starts a line of its own: when the file does not end in a line end (a
// record torn by a crash), one comes first. A missing file is created with mode 0600, a
// missing folder with mode 0700; a symbolic link in the file's place is refused, never
// followed. Throws Failure, naming the
// file and the cause, when any step fails.
void AppendDurably(const std::filesystem::path& path, std::string_view text);

}  // namespace tovalix::platform
