#pragma once

#include <cstdint>

#include "server/HttpServer.h"
#include "services/Guestbook.h"
#include "services/Webchat.h"

// The window's command ids. The server's outcome commands (CMD_SERVER_STARTED and its two siblings)
// come from the server core; the rest are the window's own and the ones the visitor services post.
namespace sarvo::ui {

using sarvo::CMD_GUESTBOOK_ALARM;
using sarvo::CMD_OPEN_WEBCHAT_PAGE;
using sarvo::CMD_SERVER_START_FAILED;
using sarvo::CMD_SERVER_STARTED;
using sarvo::CMD_SERVER_STOPPED;
using sarvo::CMD_WEBCHAT_MEMBERS_CHANGED;
using sarvo::CMD_WEBCHAT_STARTED;
using sarvo::CMD_WEBCHAT_STOPPED;

// Internal commands of the main window.
inline constexpr uint32_t CMD_UPDATE_CONTROLS = 32772;
inline constexpr uint32_t CMD_REFILL_FILES = 32773;
// The four ids of one step: the files list's selection, the folders list's selection, the folders
// list's focus and the files list's focus each recompute the URL field.
inline constexpr uint32_t CMD_REFRESH_URL = 32774;
inline constexpr uint32_t CMD_REFRESH_URL_FOLDER_SELECTION = 32784;
inline constexpr uint32_t CMD_REFRESH_URL_FOLDER_FOCUS = 32785;
inline constexpr uint32_t CMD_REFRESH_URL_FILE_FOCUS = 32786;
inline constexpr uint32_t CMD_OPEN_LOGBOOK = 32798;
inline constexpr uint32_t CMD_SHOW_GUESTBOOK_NOTICE = 32810;
inline constexpr uint32_t CMD_APP_ABOUT = 57664;

// Menu and button commands.
inline constexpr uint32_t CMD_ADD_FOLDER = 32778;
inline constexpr uint32_t CMD_FOLDER_PROPERTY = 32779;
inline constexpr uint32_t CMD_REMOVE_FOLDERS = 32780;
inline constexpr uint32_t CMD_START_EXPLORER = 32781;
inline constexpr uint32_t CMD_ADD_FILES = 32782;
inline constexpr uint32_t CMD_REMOVE_FILES = 32783;
inline constexpr uint32_t CMD_ADD_TO_BLOCK_LIST = 32790;
inline constexpr uint32_t CMD_COPY_IP = 32791;
inline constexpr uint32_t CMD_CLEAR_LIST = 32792;
inline constexpr uint32_t CMD_ALLOW_LIST_FILES = 32795;
inline constexpr uint32_t CMD_CLIENTS_OPEN_LOGBOOK = 32796;
inline constexpr uint32_t CMD_FILE_PROPERTY = 32799;
inline constexpr uint32_t CMD_START_WEBCHAT = 32800;
inline constexpr uint32_t CMD_STOP_WEBCHAT = 32801;
inline constexpr uint32_t CMD_MANAGE_WEBCHAT = 32804;
inline constexpr uint32_t CMD_COMMUNITY_HOST = 32807;
inline constexpr uint32_t CMD_COMMUNITY_MEMBER = 32808;
// The "Server Property" button's control id, used as its command.
inline constexpr uint32_t CMD_SERVER_PROPERTY = 1027;

}  // namespace sarvo::ui
