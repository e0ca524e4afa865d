#pragma once

#include <QString>

#include <string>
#include <string_view>

// The program keeps its texts in the process code page; Qt keeps UTF-16.
namespace sarvo::ui {

QString FromAnsi(std::string_view text);
std::string ToAnsi(const QString& text);

}  // namespace sarvo::ui
