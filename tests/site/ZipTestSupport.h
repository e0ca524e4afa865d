#pragma once

#include <string>
#include <vector>

#include "site/ZipWriter.h"
#include "support/TempFolder.h"

// Helpers the archive and upload tests share: a tree of mixed files, and running the archive tools
// nobody here wrote.
namespace sarvo::test {

struct CommandResult {
    int exitCode = -1;
    std::string output;  // stdout and stderr together
};

// Runs a shell command line.
CommandResult RunCommand(const std::string& commandLine);

// Single quotes for the shell.
std::string ShellQuote(const std::string& text);

std::string RandomBytes(size_t length, unsigned seed);
// Lines of words, which deflate compresses well.
std::string TextBytes(size_t length, unsigned seed);

// Every byte the descriptor's file holds, read from its start.
std::string DescriptorContent(int descriptor);

// The archive ZipFolder makes of path in a temporary file. Fails the test unless the archive is made
// and the length it publishes is what it wrote.
std::string ZipBytes(const std::string& path, ZipSubfolders subfolders);

// A browser's POST of one file to a folder's page (a URL path ending in "/"), as multipart form data.
std::string UploadRequest(const std::string& folderPath, const std::string& fileName,
                          const std::string& data);

// Fills root with files of every kind the traversal rules name: text and random files, an empty
// file, files of exactly one read block, hidden files, names with blanks and UTF-8, a thumbnail
// index, sub-folders two deep, dot-folders at both levels (with files that must not be archived)
// and an empty folder.
void MakeMixedTree(const std::string& root);

// The names the tree holds in an archive of it, in no particular order.
std::vector<std::string> MixedTreeNames(bool withSubfolders);

// The entry names of an archive as Python's zipfile reads them, in archive order.
std::vector<std::string> PythonEntryNames(const std::string& archive);

enum class ArchiveKind { WithEntries, Empty };

// Checks the archive with unzip -t, 7z t, bsdtar -tf and Python's zipfile (testzip, and every
// entry's bytes against root/name). "" when every tool is content, else what each one said.
std::string CheckWithForeignTools(const std::string& archive, const std::string& root,
                                  ArchiveKind kind = ArchiveKind::WithEntries);

}  // namespace sarvo::test
