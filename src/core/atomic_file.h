#pragma once
#include <filesystem>
#include <functional>
#include <ostream>
#include <system_error>

namespace zeph {

// Writes a file whole or not at all. write fills a binary stream that goes to "<target>.tmp-<pid>-<n>" in
// the target's folder; after it returns true the temp file is flushed to disk, closed, checked and renamed
// over the target. On any failure (write returns false, a write error such as a full disk, a failed rename)
// the temp file is removed, the old target keeps every byte, and the result is false. A replaced target
// keeps its permission bits. An exception from write is passed on after the temp file is removed. Before it
// writes, the temp files of the same target that processes no longer running left behind are removed.
bool writeFileAtomically(const std::filesystem::path& target,
                         const std::function<bool(std::ostream&)>& write);
// The same, and on a failure of its own (the temp file, a write, the flush, the rename) error says why; when
// write returns false without a write error, error is what write left in it.
bool writeFileAtomically(const std::filesystem::path& target, const std::function<bool(std::ostream&)>& write,
                         std::error_code& error);

} // namespace zeph
