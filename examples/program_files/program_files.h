// The files the example programs read and make. What a user hands them is
// read within a bound and refused with a reason; what they make is made
// new, never written through an earlier name, and listed with the run
// (run.h) so that a run that fails leaves nothing. Errors are whole lines,
// "<path>: <what failed>: <reason>". Any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace program_files {

// errno's value `error` in words: a folder, the disk, the file-size limit,
// a name not UTF-8 (EILSEQ) as a user says them, else the C library's text.
std::string Reason(int error);
// "<path>: <what>: <Reason(error)>". Pass errno's value, read before
// anything else: building the line allocates, and an allocation may set
// errno.
std::string SystemError(const std::string& path, const char* what, int error);

// The bytes of the regular file `path`, refusing a folder, a device, a pipe
// and a file larger than `bound` bytes before reading any.
bool ReadRegularFile(const std::string& path, std::uint64_t bound, std::string& bytes,
                     std::string& error);

// A new file `path` open for writing (the caller's descriptor), or -1 with
// `error`. A name that is taken, by a file or a link, is refused.
int CreateNewFile(const std::string& path, std::string& error);
// `bytes` as the new file `path`; removed again when it cannot be written
// whole.
bool WriteNewFile(const std::string& path, const std::string& bytes, std::string& error);

// Makes `folder` and its missing parents, each listed with the run; those
// made, top first, in `made`. False with `error` ("<folder>: not a folder",
// "<folder>: cannot make the folder: <reason>"), what it made removed.
bool MakeFolders(const std::string& folder, std::vector<std::string>& made, std::string& error);

// A folder of the run's own, "<prefix>-XXXXXX" in the temporary folder
// (TMPDIR, else /tmp), removed with all below it when the run ends. A
// temporary folder whose name is not UTF-8 is refused: the library reaches
// files by wide names.
bool MakeTemporaryFolder(const std::string& prefix, std::string& folder, std::string& error);

}  // namespace program_files
