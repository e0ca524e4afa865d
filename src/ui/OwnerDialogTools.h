#pragma once

#include <QString>

#include "ui/dialogs/FolderPropertyDialog.h"
#include "ui/dialogs/ShellActions.h"
#include "ui/dialogs/WebSitePropertyDialog.h"

// What the window hands to the owner's dialogs: the desktop launcher, the uninstall and the guestbook
// for WebSite Property, the folder chooser and the thumbnail tool for Folder Property, the folder
// chooser and the desktop's programs for the service dialogs.
namespace sarvo::ui {

WebSitePropertyActions WindowWebSiteActions();
FolderPropertyTools WindowFolderTools();
ShellActions WindowShellActions();

// The thumbnail tool beside the running program. A program run from its build tree finds the tool in
// the tool's own build folder instead, as the two are built into different folders there.
QString ThumbnailToolPath();

}  // namespace sarvo::ui
