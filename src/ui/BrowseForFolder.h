#pragma once

#include <string>

class QWidget;

// The folder-browse dialog of the property dialogs: starts at path when it names an existing folder
// (else at the home folder) and offers folders only. On OK the chosen folder is put into path and
// the result is true; on Cancel path is left as it was.
bool BrowseForFolder(QWidget* owner, std::string& path);
