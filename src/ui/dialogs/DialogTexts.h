#pragma once

// The texts of the server, site, folder and published-file dialogs: captions, labels, button texts and
// messages, byte for byte as the product shows them. Widgets carry the label of their control as
// object name, so tests and the screenshot gallery find a control by what the owner reads.
namespace sarvo::ui {

// A text of the product's string table, with its number.
struct TableString {
    int id;
    const char* text;
};

inline constexpr char kProductCaption[] = "Sarvo";

// Buttons shared by several dialogs.
inline constexpr char kOkButton[] = "OK";
inline constexpr char kCancelButton[] = "Cancel";
inline constexpr char kCloseButton[] = "Close";
inline constexpr char kAddButton[] = "Add";
inline constexpr char kEditButton[] = "Edit";
inline constexpr char kRemoveButton[] = "Remove";
inline constexpr char kBrowseButton[] = "...";

// WebSite Property.
inline constexpr char kWebSitePropertyCaption[] = "WebSite Property";
inline constexpr char kIpLabel[] = "IP:";
inline constexpr char kPortLabel[] = "Port:";
inline constexpr char kIdleClass[] = "Idle class";
inline constexpr char kNormalClass[] = "Normal class";
inline constexpr char kKeepLogFile[] = "Keep a log-file.";
inline constexpr char kDoNotLogThisComputer[] = "Do not record connections by this computer";
inline constexpr char kDesktopIcon[] = "Put Sarvo's icon on desktop";
inline constexpr char kHomePageButton[] = "Home Page...";
inline constexpr char kGuestbookButton[] = "Guestbook...";
inline constexpr char kPasswordsButton[] = "Passwords...";
inline constexpr char kIpFilterButton[] = "IP Filter...";
inline constexpr char kAutoBlockerButton[] = "Auto Blocker...";
inline constexpr char kUninstallButton[] = "Uninstall";
inline constexpr char kAllAddresses[] = "0.0.0.0";
// Titles of the frames that group the controls.
inline constexpr char kServerGroup[] = "Server";
inline constexpr char kPriorityGroup[] = "Process priority";
inline constexpr char kLogGroup[] = "Logbook";
inline constexpr char kSiteGroup[] = "Site";

// Home Page.
inline constexpr char kHomePageCaption[] = "Home Page";
inline constexpr char kTitleLabel[] = "Title:";
inline constexpr char kSiteDescriptionLabel[] = "Description about your Web site:";
inline constexpr char kUseGeneratedHomePage[] = "Use auto-generated home page:";
inline constexpr char kUseHomePageFile[] = "Use this file as home page:";
inline constexpr char kHomePageFileField[] = "HomePageFile";
inline constexpr TableString kHtmlFilesFilter{5036, "HTML Files|*.htm;*.html||"};
inline constexpr char kHtmlDefaultSuffix[] = "htm";

// Users & Passwords and User & Password.
inline constexpr char kUsersPasswordsCaption[] = "Users & Passwords";
inline constexpr TableString kNameColumn{5050, "Name"};
inline constexpr TableString kPasswordColumn{5051, "Password"};
inline constexpr char kEnablePassword[] = "Enable password";
inline constexpr char kUsersList[] = "Users";
inline constexpr char kUserPasswordCaption[] = "User & Password";
inline constexpr char kUserNameLabel[] = "User Name:";
inline constexpr char kPasswordLabel[] = "Password:";

// Client IP Filter and IP Address Editor.
inline constexpr char kClientIpFilterCaption[] = "Client IP Filter";
inline constexpr char kForbiddenList[] = "This is a forbidden list.";
inline constexpr char kAllowedOnlyList[] = "This is a allowed-only list.";
inline constexpr char kFilterOff[] = "Do not use this filter list";
inline constexpr char kAnyNumberNote[] = "* A field value of 255 means any number.";
inline constexpr char kIpFilterList[] = "IPFilterList";
inline constexpr char kIpAddressEditorCaption[] = "IP Address Editor";
inline constexpr char kIpAddressField[] = "IP Address";

// Auto Blocker.
inline constexpr char kAutoBlockerCaption[] = "Auto Blocker";
inline constexpr char kAutoBlockerExplanation[] =
    "When enabled, the IP address of a visitor who is sending invalid HTTP request command, or the request "
    "contains malicious instructions, will be put into this auto-block list.";
inline constexpr char kEnableAutoBlockList[] = "Enable auto-block list.";
inline constexpr char kAutoBlockList[] = "AutoBlockList";

// Enter Text.
inline constexpr char kEnterTextCaption[] = "Enter Text";
inline constexpr char kEnterTextField[] = "Text";

// Folder Property.
inline constexpr char kFolderPropertyCaption[] = "Folder Property";
inline constexpr char kLocationLabel[] = "Location:";
inline constexpr char kNameLabel[] = "Name:";
inline constexpr char kDescriptionLabel[] = "Description:";
inline constexpr char kAllowListing[] = "Allow listing folder";
inline constexpr char kAllowSubfolders[] = "Allow accessing sub-folders.";
inline constexpr char kAllowPosting[] = "Allow posting files.";
inline constexpr char kAllowZip[] = "Allow Zip Folder";
// The owner's switch for the folder's "followlinks" value.
inline constexpr char kFollowLinks[] = "Follow links that lead outside the folder.";
inline constexpr char kCreateThumbnails[] = "Create thumbnail list for images in the folder.";
inline constexpr TableString kThumbnailToolMissing{
    5024,
    "Pictorn can not be found in the folder of Sarvo.\r\n\r\nPictorn is a free tool. Would you like to visit "
    "the home page of Sarvo and download Pictorn?"};
inline constexpr char kThumbnailToolName[] = "pictorn";

// The thumbnail run's progress window.
inline constexpr char kThumbnailProgressCaption[] = "Create Thumbnails";
inline constexpr char kThumbnailStarting[] = "Looking for pictures in %1";
inline constexpr char kThumbnailProgress[] = "%1 of %2 pictures done";
inline constexpr char kThumbnailStopping[] = "Stopping; the folder's index stays as it was...";

// Dynamic File Property.
inline constexpr char kDynamicFilePropertyCaption[] = "Dynamic File Property";
inline constexpr char kDisplayNameLabel[] = "Display Name:";
inline constexpr char kFilePathLabel[] = "File Path:";
inline constexpr char kRealTimeFile[] = "This is a Real Time File";
inline constexpr char kUseNewestFile[] = "Use the newest file, by searching: ";
inline constexpr char kSearchPatternField[] = "SearchPattern";

// Guestbook.
inline constexpr char kGuestbookCaption[] = "Guestbook";
inline constexpr char kGuestbookFolderLabel[] = "Save visitors' messages to this folder:";
inline constexpr char kExplorerButton[] = "Explorer...";
inline constexpr char kEnableGuestbook[] = "Enable Guestbook";
inline constexpr char kGuestbookAlarm[] = "Alarm me when message received.";
inline constexpr char kReceivedMessages[] = "Received Messages";
inline constexpr char kReadButton[] = "Read";
inline constexpr char kDeleteButton[] = "Delete";
inline constexpr TableString kIpColumn{5008, "IP"};
inline constexpr TableString kTimeColumn{5035, "Time"};
inline constexpr TableString kContentColumn{5045, "Content"};
inline constexpr TableString kDeleteMessagesQuestion{5046, "Delete selected messages?"};

// Sarvo Logbook.
inline constexpr char kLogbookCaption[] = "Sarvo Logbook";
inline constexpr char kLogbookText[] = "Logbook";
inline constexpr char kListRecordsButton[] = "List Records...";
inline constexpr char kRefreshButton[] = "Refresh";
inline constexpr char kResetButton[] = "Reset";
inline constexpr TableString kClearLogbookQuestion{5047, "Clear the contents of the logbook?"};

// Start Webchat and Webchat Management.
inline constexpr char kStartWebchatCaption[] = "Start Webchat";
inline constexpr char kMaximumMembersLabel[] = "Maximum Members:";
inline constexpr char kWebchatManagementCaption[] = "Webchat Management";
inline constexpr char kWelcomeMessage[] = "Welcome Message";
inline constexpr char kChatRoomMembers[] = "Chat Room Members";
inline constexpr char kIdColumn[] = "ID";
inline constexpr char kCopyIpButton[] = "Copy IP";
inline constexpr char kDisconnectButton[] = "Disconnect";
inline constexpr char kBlockButton[] = "Block";

// The web community dialogs.
inline constexpr char kCommunityHostCaption[] = "Web Community --- As Web Community Host";
inline constexpr char kCommunityMembersList[] = "Members In Your Web Community";
inline constexpr char kUrlColumn[] = "URL";
inline constexpr char kLastLoginColumn[] = "Last Login";
inline constexpr char kDescriptionColumn[] = "Description";
inline constexpr char kEnableCommunityHost[] = "Enable as Web Community Host";
inline constexpr char kHostInfoGroup[] = "Host Info";
inline constexpr char kSaveButton[] = "Save";
inline constexpr char kOpenButton[] = "Open";
inline constexpr TableString kRemoveItemsQuestion{5058, "Remove selected items?"};
inline constexpr char kAddMemberCaption[] = "Web Community --- Add Member";
inline constexpr char kMemberIdLabel[] = "Member ID:";
inline constexpr char kAddMemberNote[] =
    "Create a Member ID (Login ID) for a new member of your Web Community";
inline constexpr char kCommunityMemberCaption[] = "Web Community --- As Web Community Member";
inline constexpr char kCommunityHostsList[] = "You are a member of these Web Communities";
inline constexpr char kMemberIdColumn[] = "Member ID";
inline constexpr char kMemberNameColumn[] = "Member Name";
inline constexpr char kMemberDescriptionColumn[] = "Member Description";
inline constexpr char kLoginUrlColumn[] = "Login URL";
inline constexpr char kHostNameColumn[] = "Host Name";
inline constexpr char kHostPageColumn[] = "Host Page";
inline constexpr char kHostDescriptionColumn[] = "Host Description";
inline constexpr char kEnableCommunityMember[] = "Enable as Web Community Member.";
inline constexpr char kAddUpdateHostCaption[] = "Web Community --- Add/Update Host";
inline constexpr char kLoginGroup[] = "Login";
inline constexpr char kIdLabel[] = "ID:";
inline constexpr char kUrlLabel[] = "URL:";
inline constexpr char kIconLabel[] = "Icon";
inline constexpr char kIconSizeNote[] = "Max: 48 x 48";
inline constexpr char kRootPage[] = "[Root]";
// The two "URL:" fields of Add/Update Host are told apart by these object names.
inline constexpr char kLoginUrlField[] = "LoginURL";
inline constexpr char kPageField[] = "PageURL";

}  // namespace sarvo::ui
