#pragma once

#include "ui/dialogs/DialogTexts.h"

// Every text the window shows the owner, byte for byte, in one place. The numbered texts keep the
// numbers other parts of the program use for them; the message texts keep their "\r\n" line breaks,
// which OwnerMessages turns into the line breaks of the platform. The texts the window shares with the
// owner's dialogs (the product caption, "URL:") are the dialogs'.
namespace sarvo::ui {

inline constexpr char kAboutText[] = "Sarvo  Version 5.3";

inline constexpr char kTextColumnName[] = "Name";                                             // 5000
inline constexpr char kTextColumnType[] = "Type";                                             // 5001
inline constexpr char kTextColumnSize[] = "Size";                                             // 5002
inline constexpr char kTextColumnFileTime[] = "Time";                                         // 5003
inline constexpr char kTextServerWorking[] = "Server is working on port %u";                  // 5006
inline constexpr char kTextServerError[] = "Server Error: %d ";                               // 5007
inline constexpr char kTextColumnIp[] = "IP";                                                 // 5008
inline constexpr char kTextColumnObject[] = "Object";                                         // 5009
inline constexpr char kTextColumnAction[] = "Action";                                         // 5010
inline constexpr char kTextActionUpload[] = "Upload";                                         // 5011
inline constexpr char kTextActionDownload[] = "Download";                                     // 5012
inline constexpr char kTextActionConnect[] = "Connect";                                       // 5013
inline constexpr char kTextActionClosed[] = "Closed";                                         // 5014
inline constexpr char kTextRemoveFolders[] = "Remove selected folders from the web server?";  // 5015
inline constexpr char kTextColumnProgress[] = "Progress";                                     // 5016
inline constexpr char kTextDriveNotReady[] = "Drive not ready.";                              // 5017
inline constexpr char kTextStartFailed[] =                                                    // 5018
    "Failed starting server on port %u. Error = %d.\r\n\r\nPlease click the [Server Property] button, "
    "change the port number, and try again.";
inline constexpr char kTextServerNotWorking[] = "Server is not working.";                     // 5019
inline constexpr char kTextDynamicFiles[] = "Dynamic Files";                                  // 5021
inline constexpr char kTextStopServer[] = "This will stop your web server\r\nAre you sure?";  // 5023
inline constexpr char kTextActionBadRequest[] = "Bad Request";                                // 5025
inline constexpr char kTextDynamicFilesTip[] = "Files From Any Folders";                      // 5032
inline constexpr char kTextColumnTime[] = "Time";                                             // 5035
inline constexpr char kTextWebchat[] = "Webchat";                                             // 5052
inline constexpr char kTextWebchatTip[] = "Sarvo Chat Room";                                  // 5053
inline constexpr char kTextWebCommunity[] = "WebCommunity";                                   // 5055
inline constexpr char kTextWebCommunityTip[] = "Web Communities";                             // 5057
inline constexpr char kTextListTip[] = "Right click an item to display the menu.";            // 5059
inline constexpr char kTextGuestbookNotice[] = "There is a new message in your guestbook.";   // 5060

// The services' addresses below the site's base URL.
inline constexpr char kWebchatUrlPath[] = "Webchat/";
inline constexpr char kWebCommunityUrlPath[] = "WebCommunity/";

// Controls of the main window; the texts are also the controls' object names.
inline constexpr char kGroupFoldersAndFiles[] = "Folders and Files";
inline constexpr char kGroupClients[] = "Clients";
inline constexpr char kFoldersListName[] = "List1";
inline constexpr char kFilesListName[] = "List2";
inline constexpr char kClientsListName[] = "List3";
inline constexpr char kUrlFieldName[] = "URL";
inline constexpr char kStatusLineName[] = "Status";
inline constexpr char kButtonOpen[] = "Open";
inline constexpr char kButtonCopy[] = "Copy";
inline constexpr char kButtonQrCode[] = "QR";
inline constexpr char kButtonQrCodeTip[] = "Show the address as a QR code for a phone's camera";
inline constexpr char kButtonSelectIp[] = "IP...";
inline constexpr char kButtonAbout[] = "About...";
inline constexpr char kButtonStartServer[] = "Start Server";
inline constexpr char kButtonServerProperty[] = "Server Property";
inline constexpr char kButtonClose[] = "Close";

// Select IP dialog.
inline constexpr char kSelectIpCaption[] = "Select IP";

// Menu items.
inline constexpr char kMenuAddFiles[] = "Add Files...";
inline constexpr char kMenuAllowListFiles[] = "Allow list files";
inline constexpr char kMenuAddFolder[] = "Add a Folder...";
inline constexpr char kMenuFolderProperty[] = "Folder Property...";
inline constexpr char kMenuRemoveFolders[] = "Remove Folders";
inline constexpr char kMenuStartExplorer[] = "Start Explorer";
inline constexpr char kMenuStartWebchat[] = "Start Webchat...";
inline constexpr char kMenuManageWebchat[] = "Manage...";
inline constexpr char kMenuStopWebchat[] = "Stop Webchat";
inline constexpr char kMenuAsHost[] = "As Host...";
inline constexpr char kMenuAsMember[] = "As Member...";
inline constexpr char kMenuRemoveFiles[] = "Remove Files";
inline constexpr char kMenuFileProperty[] = "Property...";
inline constexpr char kMenuAddToBlockList[] = "Add to block list";
inline constexpr char kMenuCopyIp[] = "Copy IP";
inline constexpr char kMenuClearList[] = "Clear List";
inline constexpr char kMenuOpenLogbook[] = "Open Logbook";

// Tray icon menu.
inline constexpr char kTrayShow[] = "Show";
inline constexpr char kTrayStartServer[] = "Start Server";
inline constexpr char kTrayStopServer[] = "Stop Server";
inline constexpr char kTrayCopyUrl[] = "Copy URL";
inline constexpr char kTrayQuit[] = "Quit";

}  // namespace sarvo::ui
