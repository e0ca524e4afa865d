#include "ZipTestSupport.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <sstream>

#include "platform/TempFile.h"

namespace sarvo::test {
namespace {

namespace fs = std::filesystem;

// Checks an archive against the tree it was made from, entry by entry and byte by byte.
// Names without the UTF-8 flag are the system's own bytes, which zipfile decodes as code page 437;
// encoding them back gives those bytes.
constexpr char kPythonCheck[] = R"PY(
import sys, zipfile, os
def raw(info):
    return info.filename.encode('utf-8' if info.flag_bits & 0x800 else 'cp437')
archive, root = sys.argv[1], os.fsencode(sys.argv[2])
with zipfile.ZipFile(archive) as z:
    bad = z.testzip()
    if bad is not None:
        print('testzip: bad entry', bad); sys.exit(1)
    for info in z.infolist():
        with open(os.path.join(root, raw(info)), 'rb') as f, z.open(info) as e:
            while True:
                a, b = e.read(1 << 20), f.read(1 << 20)
                if a != b:
                    print('content differs:', info.filename); sys.exit(1)
                if not a:
                    break
    print('entries', len(z.infolist()))
)PY";

constexpr char kPythonNames[] = R"PY(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    sys.stdout.buffer.write(b''.join(
        i.filename.encode('utf-8' if i.flag_bits & 0x800 else 'cp437') + b'\n' for i in z.infolist()))
)PY";

}  // namespace

CommandResult RunCommand(const std::string& commandLine) {
    CommandResult result;
    FILE* pipe = ::popen((commandLine + " 2>&1").c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, got);
    const int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string ShellQuote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

std::string RandomBytes(size_t length, unsigned seed) {
    std::mt19937 generator(seed);
    std::string out(length, '\0');
    for (char& c : out)
        c = static_cast<char>(generator() & 0xFF);
    return out;
}

std::string TextBytes(size_t length, unsigned seed) {
    static const char* const kWords[] = {"folder",  "archive", "visitor", "share",  "download",
                                         "deflate", "listing", "page",    "server", "chunk",
                                         "\r\n",    "the",     "of",      "a"};
    std::mt19937 generator(seed);
    std::string out;
    while (out.size() < length) {
        out += kWords[generator() % (sizeof kWords / sizeof kWords[0])];
        out += ' ';
    }
    out.resize(length);
    return out;
}

std::string DescriptorContent(int descriptor) {
    std::string out;
    char buffer[65536];
    for (ssize_t got; (got = ::pread(descriptor, buffer, sizeof buffer, static_cast<off_t>(out.size()))) > 0;)
        out.append(buffer, static_cast<size_t>(got));
    return out;
}

std::string ZipBytes(const std::string& path, ZipSubfolders subfolders) {
    TempFile file = CreateTempFile(TempFileMode::DeleteOnClose);
    ZipJob job;
    EXPECT_EQ(ZipFolder(path, file.Descriptor(), subfolders, job), kZipOk) << path;
    std::string bytes = DescriptorContent(file.Descriptor());
    EXPECT_EQ(job.Current().finalLength, bytes.size()) << path;
    return bytes;
}

std::string UploadRequest(const std::string& folderPath, const std::string& fileName,
                          const std::string& data) {
    const std::string boundary = "----sarvoUploadBoundary";
    const std::string body = "--" + boundary +
                             "\r\nContent-Disposition: form-data; name=\"fp\"; filename=\"" + fileName +
                             "\"\r\n\r\n" + data + "\r\n--" + boundary + "--\r\n";
    return "POST " + folderPath +
           " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: multipart/form-data; boundary=" + boundary +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

void MakeMixedTree(const std::string& root) {
    WriteWholeFile(root + "/readme.txt", TextBytes(200000, 1));
    WriteWholeFile(root + "/random.bin", RandomBytes(300000, 2));
    WriteWholeFile(root + "/empty.txt", "");
    WriteWholeFile(root + "/block32k.bin", RandomBytes(32768, 3));
    WriteWholeFile(root + "/block128k.txt", TextBytes(128 * 1024, 4));
    WriteWholeFile(root + "/.hidden", "hidden at the top");
    WriteWholeFile(root + "/name with spaces.txt", "blanks");
    WriteWholeFile(root + "/na\xc3\xafve.txt", "utf-8 name");
    WriteWholeFile(root + "/pixindex.$$$", "thumbnail index");
    WriteWholeFile(root + "/sub/a.txt", TextBytes(5000, 5));
    WriteWholeFile(root + "/sub/.hiddenfile", "hidden below");
    WriteWholeFile(root + "/sub/deeper/b.bin", RandomBytes(70000, 6));
    WriteWholeFile(root + "/sub/deeper/c.txt", TextBytes(1000000, 7));
    WriteWholeFile(root + "/sub/.cache/skipped.txt", "not archived");
    WriteWholeFile(root + "/.cache/skipped.txt", "not archived");
    fs::create_directories(root + "/emptydir");
}

std::vector<std::string> MixedTreeNames(bool withSubfolders) {
    std::vector<std::string> names = {"readme.txt",           "random.bin",       "empty.txt",
                                      "block32k.bin",         "block128k.txt",    ".hidden",
                                      "name with spaces.txt", "na\xc3\xafve.txt", "pixindex.$$$"};
    if (withSubfolders) {
        for (const char* name : {"sub/a.txt", "sub/.hiddenfile", "sub/deeper/b.bin", "sub/deeper/c.txt"})
            names.push_back(name);
    }
    return names;
}

std::vector<std::string> PythonEntryNames(const std::string& archive) {
    CommandResult run = RunCommand("python3 -c " + ShellQuote(kPythonNames) + " " + ShellQuote(archive));
    std::vector<std::string> names;
    if (run.exitCode != 0) {
        names.push_back("python failed: " + run.output);
        return names;
    }
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);)
        names.push_back(line);
    return names;
}

std::string CheckWithForeignTools(const std::string& archive, const std::string& root, ArchiveKind kind) {
    const std::string quoted = ShellQuote(archive);
    struct Tool {
        const char* name;
        std::string commandLine;
    } tools[] = {
        {"unzip -t", "unzip -t " + quoted},
        {"7z t", "7z t " + quoted},
        {"bsdtar -tf", "bsdtar -tf " + quoted},
        {"python zipfile", "python3 -c " + ShellQuote(kPythonCheck) + " " + quoted + " " + ShellQuote(root)},
    };
    std::string complaints;
    for (const Tool& tool : tools) {
        CommandResult run = RunCommand(tool.commandLine);
        // unzip warns about an archive without entries, with exit code 1, and says why.
        if (kind == ArchiveKind::Empty && std::string(tool.name) == "unzip -t" && run.exitCode == 1 &&
            run.output.find("zipfile is empty") != std::string::npos)
            continue;
        if (run.exitCode != 0)
            complaints += std::string(tool.name) + " exited " + std::to_string(run.exitCode) + ":\n" +
                          run.output + "\n";
    }
    return complaints;
}

}  // namespace sarvo::test
