#pragma once

#include <string>

// Moving settings from and to Windows: the product's tree as a "Windows Registry Editor Version
// 5.00" file, the format the Registry Editor exports and imports.
namespace sarvo {

// Writes HKEY_CURRENT_USER\Software\KELDANWORKS\Sarvo and everything below it, UTF-16LE with a BOM
// and CR LF line ends, as the Registry Editor writes it.
bool ExportRegFile(const std::string& path, std::string& error);
// The same bytes, for a caller that writes them elsewhere (standard output).
bool ExportRegBytes(std::string& bytes, std::string& error);

// Reads such a file (UTF-16LE with a BOM, UTF-8 with or without one, or a "REGEDIT4" file in the
// process code page). Keys must lie within the product's trees. All or nothing: on any bad line the
// error names it ("line 12: ...") and the store is left as it was.
bool ImportRegFile(const std::string& path, std::string& error);

}  // namespace sarvo
