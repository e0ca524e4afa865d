#pragma once

#include <string>

// How the server names itself in the Server header, the stream headers and page footers.
namespace sarvo {

inline constexpr const char kProductName[] = "Sarvo";
inline constexpr const char kMakerWebAddress[] = "https://keldanworks.example";
inline constexpr const char kProductPageAddress[] = "https://keldanworks.example/sarvo/";

// "Sarvo (https://keldanworks.example)"
const std::string& ServerIdentification();

}  // namespace sarvo
