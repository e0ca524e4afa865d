#pragma once

#include <QIcon>
#include <QPixmap>

// The program's own pictures, drawn as SVG and kept in the resource file: one per image index the
// lists use, and the tray's two states.
namespace sarvo::ui {

inline constexpr int kFolderImageCount = 7;   // 0 folder ... 6 chat room, 16 pixels
inline constexpr int kFolderStateCount = 10;  // states 1 to 10, 15 pixels
inline constexpr int kFileStateCount = 2;     // states 1 and 2, 12 pixels
inline constexpr int kFolderImageSize = 16;
inline constexpr int kFolderStateSize = 15;
inline constexpr int kFileStateSize = 12;

// Each picture is rendered once per device pixel ratio and kept.
QPixmap FolderImage(int index, qreal devicePixelRatio);
QPixmap FolderStateImage(int state, qreal devicePixelRatio);
QPixmap FileStateImage(int state, qreal devicePixelRatio);

// The state picture to the left of the item's picture, as the lists show them; an empty pixmap for
// an index outside its range.
QPixmap StateAndImage(const QPixmap& state, const QPixmap& image);

QIcon TrayIcon(bool serverRunning);
// The program's own icon, as the desktop entry names it.
QIcon ApplicationIcon();

}  // namespace sarvo::ui
